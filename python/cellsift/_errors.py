"""The exceptions the extension raises, kept in Python so that they pickle and subclass
as users expect."""


class Error(Exception):
    """A workbook could not be read."""


class EncryptedError(Error):
    """The workbook is encrypted or obfuscated: its text is ciphertext."""


class NotWorkbookError(Error):
    """The bytes are no xls workbook (another format, or a compound document without a
    Workbook or Book stream)."""


class DamagedError(Error):
    """The compound document or its workbook stream is damaged beyond reading."""


class FileError(Error, OSError):
    """The file cannot be opened or read."""
