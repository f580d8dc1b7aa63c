# What is inside a workbook on every front: VBA modules and embedded documents, text() equal
# to the tool's in each form with and without macros= and embedded=, read()'s vba_modules,
# macros and embedded, and the Dask helpers taking both.
import os

import pytest

import cellsift
from conftest import ROOT
from test_dask import client  # noqa: F401 (the two-worker cluster, a fixture)
from test_module import tool_output

MACROS = os.path.join(ROOT, "tests", "vba", "data", "macros.xls")
SAMPLE = os.path.join(ROOT, "examples", "sample.xls")


def test_text_equals_the_tools_with_and_without_macros(tool):
    for form in ("text", "csv", "jsonl", "html"):
        status, expected = tool_output(tool, "--format", form, MACROS)
        assert status == 0
        assert cellsift.text(MACROS, format=form) == expected, form
        status, expected = tool_output(tool, "--format", form, "--no-macros", MACROS)
        assert cellsift.text(MACROS, format=form, macros=False) == expected, form
    assert "Macro Module1:\n" in cellsift.text(MACROS)
    assert "Macro" not in cellsift.text(MACROS, macros=False)


def test_read_gives_each_module_as_stored():
    with cellsift.read(MACROS) as book:
        assert book.macros
        assert [(m.name, m.kind) for m in book.vba_modules] == [
            ("ThisWorkbook", "document"), ("Module1", "standard"), ("Class1", "class"), ("UserForm1", "form")]
        module = book.vba_modules[1]
        assert isinstance(module, cellsift.VbaModule)
        assert module.code == ('Attribute VB_Name = "Module1"\r\nSub Greet()\r\n'
                               '    MsgBox "Привет, budget.xls"\r\nEnd Sub\r\n')
        assert book.warnings == []
    with cellsift.read(SAMPLE) as book:
        assert not book.macros and book.vba_modules == []


def test_the_dask_helpers_take_macros(client):  # noqa: F811
    tables = pytest.importorskip("cellsift.dask")
    [record] = tables.texts([MACROS], macros=False).compute()
    assert record["text"] == cellsift.text(MACROS, macros=False)
    [record] = tables.texts_from_bytes(MACROS, format="jsonl").compute()
    with open(MACROS, "rb") as f:  # bytes: its JSON lines name no file
        assert record["text"] == cellsift.text(f.read(), format="jsonl")
    assert '"type":"vba"' in record["text"]


EMBEDDED = os.path.join(ROOT, "tests", "workbook", "embedded", "embedded.xls")


def test_embedded_documents_on_every_front(tool, client):  # noqa: F811
    for form in ("text", "csv", "jsonl", "html"):
        for flags, keywords in (((), {}), (("--no-embedded",), {"embedded": False})):
            status, expected = tool_output(tool, "--format", form, *flags, EMBEDDED)
            assert status == 0
            assert cellsift.text(EMBEDDED, format=form, **keywords) == expected, (form, flags)
    with cellsift.read(EMBEDDED) as book:
        pool, inner = book.embedded
        assert pool.path == "ObjectPool/_1234567890" and pool.class_name == "Test Document"
        assert pool.properties["title"] == "Minutes" and pool.workbook is None
        assert isinstance(inner, cellsift.Embedded) and inner.workbook is not None
        assert inner.workbook[0].name == "Inner"
        assert [value for _, _, value in inner.workbook[0].cells()] == [42]
        [package] = inner.workbook.embedded
        assert (package.path, package.package, package.workbook) == ("MBD00000001/MBD00000002", "report.txt", None)
        inner.workbook.close()
    tables = pytest.importorskip("cellsift.dask")
    [record] = tables.texts([EMBEDDED], embedded=False).compute()
    assert record["text"] == cellsift.text(EMBEDDED, embedded=False)
