// The quarantine: a copy of every document whose extraction failed, kept in the "Scandeck"
// folder beside the host program, and the two log entries that report it.
#ifndef CELLSIFT_PLUGIN_QUARANTINE_H
#define CELLSIFT_PLUGIN_QUARANTINE_H

// Copies the document at pszPath into the quarantine folder under its own name, never over
// an existing file, then logs "BadBeep" and the path, whether the copy succeeded or not.
void QuarantineDocument(const char *pszPath);

#endif
