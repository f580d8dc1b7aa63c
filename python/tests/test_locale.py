# locale= on every front: text() equal to the tool's --locale in each form, read()'s shown
# values and to_pandas, read_frame, and the Dask helpers; stored values never move.
import os
import subprocess

import pytest

import cellsift
from conftest import ROOT
from test_dask import client  # noqa: F401 (the two-worker cluster, a fixture)
from test_module import tool_output

SAMPLE = os.path.join(ROOT, "examples", "sample.xls")
CASES = os.path.join(ROOT, "tests", "numformat", "cases", "locale-cases.xls")


def test_text_equals_the_tools_locale_in_every_form(tool):
    for locale in ("ru-RU", "de-DE", "ja-JP"):
        for path in (SAMPLE, CASES):
            for form in ("text", "csv", "jsonl", "html"):
                status, expected = tool_output(tool, "--format", form, "--locale", locale, path)
                assert status == 0
                assert cellsift.text(path, format=form, locale=locale) == expected, (locale, path, form)
    assert "149,9\t01.03.2024" in cellsift.text(SAMPLE, locale="ru-RU")
    assert cellsift.text(SAMPLE, locale="en-US") == cellsift.text(SAMPLE)
    assert cellsift.text(SAMPLE, values="raw", locale="ru-RU") == cellsift.text(SAMPLE, values="raw")


def test_auto_is_the_environment_and_unknown_names_are_refused():
    env = dict(os.environ, LANG="de_DE.UTF-8", LC_ALL="", LC_NUMERIC="", LC_TIME="")
    code = "import cellsift, sys; sys.stdout.write(cellsift.text(sys.argv[1], locale='auto'))"
    done = subprocess.run([os.sys.executable, "-c", code, SAMPLE], env=env, stdout=subprocess.PIPE, check=True)
    assert done.stdout.decode("utf-8") == cellsift.text(SAMPLE, locale="de-DE")
    for bad in ("xx-YY", "", "de DE"):
        with pytest.raises(ValueError, match="unknown locale"):
            cellsift.text(SAMPLE, locale=bad)
        with pytest.raises(ValueError, match="unknown locale"):
            cellsift.read(SAMPLE, locale=bad)
    with pytest.raises(TypeError):
        cellsift.read_frame(SAMPLE, values="shown", locale=None)


def test_read_and_frames_show_in_the_locale():
    pandas = pytest.importorskip("pandas")
    with cellsift.read(SAMPLE, locale="fr-FR") as book:
        sheet = book[0]
        shown = {(r, c): v for r, c, v in sheet.cells(shown=True)}
        assert shown[(1, 1)] == "149,9" and shown[(1, 2)] == "01/03/2024"
        assert [v for _, _, v in sheet.cells()] == [v for _, _, v in cellsift.read(SAMPLE)[0].cells()]
        frame = sheet.to_pandas(values="shown")
    pandas.testing.assert_frame_equal(frame, cellsift.read_frame(SAMPLE, values="shown", locale="fr-FR"))
    assert frame.iloc[0, 1:].tolist() == ["149,9", "01/03/2024"]
    pandas.testing.assert_frame_equal(cellsift.read_frame(SAMPLE, locale="fr-FR"), cellsift.read_frame(SAMPLE))


def test_the_dask_helpers_take_the_locale(client):  # noqa: F811
    pytest.importorskip("pandas")
    tables = pytest.importorskip("cellsift.dask")
    [record] = tables.texts([SAMPLE], format="csv", locale="ru-RU").compute()
    assert record["text"] == cellsift.text(SAMPLE, format="csv", locale="ru-RU")
    [record] = tables.texts_from_bytes(SAMPLE, locale="ja-JP").compute()
    assert record["text"] == cellsift.text(SAMPLE, locale="ja-JP")
    cells = tables.cells([SAMPLE], values="shown", locale="de-DE").compute()
    assert "149,9" in cells["value"].tolist() and "01.03.2024" in cells["shown"].tolist()
    assert tables.cells([SAMPLE], locale="de-DE").compute()["value"].tolist() == \
        tables.cells([SAMPLE]).compute()["value"].tolist()
    frame = tables.frames([SAMPLE], values="shown", locale="de-DE").compute()
    assert frame.drop(columns=["path", "error"]).equals(cellsift.read_frame(SAMPLE, values="shown", locale="de-DE"))
    for helper in (tables.texts, tables.cells, tables.frames):
        with pytest.raises(ValueError, match="unknown locale"):
            helper([SAMPLE], locale="xx-YY")
