"""The exceptions the extension raises, kept in Python so that they pickle and subclass
as users expect."""


class Error(Exception):
    """A workbook could not be read."""


class EncryptedError(Error):
    """The workbook is encrypted or obfuscated, and could not be decrypted: no password, or
    the wrong one, was given (``needs_password`` is true), or its scheme is not read here."""

    def __init__(self, message="", needs_password=False):
        super().__init__(message, needs_password)
        self.needs_password = needs_password

    def __str__(self):
        return str(self.args[0]) if self.args else ""


class NotWorkbookError(Error):
    """The bytes are no xls workbook (another format, or a compound document without a
    Workbook or Book stream)."""


class DamagedError(Error):
    """The compound document or its workbook stream is damaged beyond reading."""


class FileError(Error, OSError):
    """The file cannot be opened or read."""
