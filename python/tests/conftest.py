# Where the tests find the workbooks and the command-line tool whose output the module
# must equal.
import glob
import os

import pytest

ROOT = os.environ.get("CELLSIFT_SOURCE_DIR",
                      os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
SHARED = os.environ.get("CELLSIFT_SHARED_DIR", os.path.join(ROOT, "..", "shared"))


def workbooks():
    paths = sorted(glob.glob(os.path.join(ROOT, "tests", "data", "*.xls")))
    paths += sorted(glob.glob(os.path.join(ROOT, "tests", "workbook", "data", "*.xls")))
    paths += sorted(glob.glob(os.path.join(ROOT, "tests", "workbook", "extras", "*.xls")))
    paths += sorted(glob.glob(os.path.join(SHARED, "conformance", "*.xls")))
    paths.append(os.path.join(ROOT, "examples", "sample.xls"))
    return paths


@pytest.fixture(scope="session")
def tool():
    path = os.environ.get("CELLSIFT_TOOL")
    if not path:
        pytest.skip("CELLSIFT_TOOL names no built cellsift tool")
    return path
