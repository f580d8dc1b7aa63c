# Builds the Python extension from the reader's own sources, with Debian's pybind11, so that
# `pip install --no-build-isolation --no-deps --no-index .` needs no network and no CMake.
import glob
import os
import re

from pybind11.setup_helpers import Pybind11Extension, build_ext
from setuptools import setup

here = os.path.dirname(os.path.abspath(__file__))


def rel(*parts):
    return os.path.join(*parts)


def project_version():
    with open(os.path.join(here, "CMakeLists.txt"), encoding="utf-8") as f:
        return re.search(r"project\(cellsift VERSION ([0-9.]+)", f.read()).group(1)


# The reader, its engines, its written forms, the compound-document reader, and the record floor
# (the byte cursor and record types are headers).
folders = ("biff", "numformat", "unicode", "decrypt", "formula", "recordtext", "properties", "vba", "workbook", "output", "cfb")
sources = [path for folder in folders for path in sorted(glob.glob(rel("src", folder, "*.cpp")))]

core = Pybind11Extension(
    "cellsift._core",
    [rel("python", "cellsift", name) for name in (
        "_core.cpp", "StrWriter.cpp", "Source.cpp", "FrameBook.cpp", "FrameColumns.cpp", "SheetCells.cpp",
        "TextStore.cpp")] + sources,
    include_dirs=[rel("src"), rel("python", "cellsift")],
    # The one version: CMakeLists.txt's, for the package's metadata and _core.__version__.
    define_macros=[("CELLSIFT_VERSION", '"%s"' % project_version())],
    # nettle decrypts encrypted workbooks (Debian's nettle-dev); ICU's CLDR data gives other
    # locales' shown values (libicu-dev).
    libraries=["nettle", "icui18n", "icuuc"],
    cxx_std=17,
    extra_compile_args=["-O3", "-fvisibility=hidden", "-pthread"],
    extra_link_args=["-pthread"],
)

setup(version=project_version(), ext_modules=[core], cmdclass={"build_ext": build_ext})
