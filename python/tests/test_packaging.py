# What pip installs: the type hints (py.typed and the extension's stub), no C++ sources, and
# one version for the package's metadata and the module.
import importlib.metadata
import importlib.resources

import pytest

import cellsift


def test_the_installed_package_has_hints_and_no_sources():
    files = [f.name for f in importlib.resources.files("cellsift").iterdir()]
    if not any(name.startswith("_core.") and not name.endswith(".pyi") for name in files):
        pytest.skip("cellsift is not installed here")
    assert {"py.typed", "_core.pyi", "__init__.py"} <= set(files)
    assert [n for n in files if n.endswith((".cpp", ".h"))] == []


def test_one_version():
    try:
        installed = importlib.metadata.version("cellsift")
    except importlib.metadata.PackageNotFoundError:
        pytest.skip("cellsift is not installed with pip here")
    assert installed == cellsift.__version__ == cellsift._core.__version__
