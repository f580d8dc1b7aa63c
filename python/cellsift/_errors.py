"""The exceptions and the warning the extension raises, kept in Python so that they pickle
and subclass as users expect."""

import errno as _errno
import os as _os


class Error(Exception):
    """A workbook could not be read. Every failure of one file is one of these."""


class EncryptedError(Error):
    """The workbook is encrypted or obfuscated, and could not be decrypted: no password, or
    the wrong one, was given (``needs_password`` is true), or its scheme is not read here.
    ``properties`` holds its document properties, which are stored unencrypted, as
    ``Workbook.properties`` gives them (empty when it has none)."""

    def __init__(self, message="", needs_password=False, properties=None):
        properties = {} if properties is None else properties
        super().__init__(message, needs_password, properties)
        self.needs_password = needs_password
        self.properties = properties

    def __str__(self):
        return str(self.args[0]) if self.args else ""


class NotWorkbookError(Error):
    """The bytes are no xls workbook (another format, or a compound document without a
    Workbook or Book stream)."""


class DamagedError(Error):
    """The compound document or its workbook stream is damaged beyond reading."""


class NoSuchSheetError(Error, LookupError):
    """The sheet asked for by name or number is not in the workbook."""


class TooLargeError(Error):
    """The workbook needs more memory than can be had for one file."""


class FileError(Error, OSError):
    """The file cannot be opened or read. ``errno``, ``strerror`` and ``filename`` are set
    as ``open()`` sets them; a missing file is also a ``FileNotFoundError``
    (:class:`MissingFileError`), a forbidden one a ``PermissionError``
    (:class:`FilePermissionError`), a folder an ``IsADirectoryError``."""

    def __str__(self):
        if self.filename is not None and self.strerror:
            return "%s: %s" % (_os.fsdecode(self.filename), self.strerror)
        return super().__str__()


class MissingFileError(FileError, FileNotFoundError):
    """The file does not exist."""


class FilePermissionError(FileError, PermissionError):
    """The file may not be read."""


class FolderError(FileError, IsADirectoryError):
    """The path names a folder."""


class PartialReadWarning(UserWarning):
    """A workbook was read only in part: what could be read is there, the message says
    what could not."""


_FILE_ERRORS = {_errno.ENOENT: MissingFileError, _errno.EACCES: FilePermissionError,
                _errno.EPERM: FilePermissionError, _errno.EISDIR: FolderError}


def file_error(exc: FileError, filename) -> FileError:
    """The extension's FileError for filename, as the OSError subclass its errno names."""
    number = exc.errno or None
    message = exc.strerror if exc.strerror else str(exc)
    cls = _FILE_ERRORS.get(number, FileError) if number is not None else FileError
    return cls(number, message, filename)
