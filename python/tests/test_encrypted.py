# Encrypted workbooks through the module: copies of ours made by the test generator in every
# scheme read back as the plain workbook, with the default password or the one given, and
# the errors of a missing or wrong password as EncryptedError.
import os
import pickle
import subprocess

import pytest

import cellsift
from conftest import ROOT

PLAIN = os.path.join(ROOT, "tests", "data", "lo-mixed.xls")
SCHEMES = ["xor", "rc4", "cryptoapi40", "cryptoapi128"]


@pytest.fixture(scope="module")
def encrypt(tmp_path_factory):
    generator = os.environ.get("CELLSIFT_ENCRYPT")
    if not generator:
        pytest.skip("CELLSIFT_ENCRYPT names no built encrypt-workbook generator")
    folder = tmp_path_factory.mktemp("encrypted")

    def make(scheme, password):
        out = str(folder / ("%s-%d.xls" % (scheme, len(os.listdir(folder)))))
        subprocess.run([generator, scheme, password, PLAIN, out], check=True)
        return out
    return make


@pytest.mark.parametrize("scheme", SCHEMES)
def test_default_password_needs_no_password(encrypt, scheme):
    path = encrypt(scheme, "VelvetSweatshop")
    assert cellsift.text(path) == cellsift.text(PLAIN)
    with open(path, "rb") as f:
        data = f.read()
    plain = cellsift.read(PLAIN)
    book = cellsift.read(data)
    assert [list(s.cells()) for s in book.sheets] == [list(s.cells()) for s in plain.sheets]


@pytest.mark.parametrize("scheme", SCHEMES)
def test_password_given_opens_it_and_others_are_errors(encrypt, scheme):
    path = encrypt(scheme, "p\u00e4ss 42")
    assert cellsift.text(path, password="p\u00e4ss 42") == cellsift.text(PLAIN)
    book = cellsift.read(path, password="p\u00e4ss 42")
    assert [list(s.cells()) for s in book.sheets] == [list(s.cells()) for s in cellsift.read(PLAIN).sheets]
    # The message names the keyword that gives the password, not the tool's option.
    cases = [({}, "encrypted: a password is needed (password=)"),
             ({"password": "wrong"}, "encrypted: the password is wrong")]
    for kwargs, message in cases:
        for function in (cellsift.text, cellsift.read, cellsift.read_frame):
            with pytest.raises(cellsift.EncryptedError) as info:
                function(path, **kwargs)
            assert info.value.needs_password
            assert message in str(info.value) and "--" not in str(info.value)


def test_properties_come_with_the_error(encrypt):
    # They are stored unencrypted: who wrote the workbook is known without its password, and
    # stays known when the exception is pickled.
    path = encrypt("rc4", "secret")
    with pytest.raises(cellsift.EncryptedError) as info:
        cellsift.read(path)
    assert info.value.properties["last_saved_by"] == cellsift.read(PLAIN).properties["last_saved_by"]
    copy = pickle.loads(pickle.dumps(info.value))
    assert copy.properties == info.value.properties and copy.needs_password and str(copy) == str(info.value)


def test_unknown_scheme_does_not_ask_for_a_password(encrypt):
    path = encrypt("rc4", "x")
    with open(path, "rb") as f:
        data = bytearray(f.read())
    # The RC4 version words 1.1 after the scheme word become 9.9, a version no writer made.
    at = data.find(b"\x2f\x00\x36\x00\x01\x00\x01\x00\x01\x00")
    assert at > 0
    data[at + 6:at + 10] = b"\x09\x00\x09\x00"
    with pytest.raises(cellsift.EncryptedError) as info:
        cellsift.text(bytes(data), password="x")
    assert not info.value.needs_password
    assert "RC4 encryption version 9.9" in str(info.value)
