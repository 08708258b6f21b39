#pragma once
// Folders and files that an elevated phase relies on. The library's folders
// under the common application-data folder are made with a protected DACL;
// an existing folder or file is used only when it is no reparse point and
// its owner is SYSTEM, Administrators, TrustedInstaller or this process's
// user. A refusal throws OxWinError 5 with a text naming the path.
#include "setuplib/oxsetuplib.h"

namespace OxSetupLib {

// Refuses `path` when it is a reparse point or has an untrusted owner; gives
// its attributes, INVALID_FILE_ATTRIBUTES for a missing path.
DWORD RequireTrusted(const OxMsiString& path);
// The same check without throwing: false, with the refusal's text, when
// `path` may not be used.
bool IsTrusted(const OxMsiString& path, std::wstring* refusal);
// A program an elevated phase starts, or its folder: it must exist, pass
// RequireTrusted, and its DACL may let no other account change it (write,
// add files or folders, delete, or change its DACL or owner). False, with
// the refusal's text, otherwise.
bool IsTrustedTool(const OxMsiString& path, std::wstring* refusal);
// One folder level: created with full control for SYSTEM, Administrators and
// this process's user, inherited below and nothing taken from the parent; an
// existing one must be a trusted folder.
void CreateTrustedDirectory(const OxMsiString& path);
// GetTempFolder + `name` + "\", a trusted folder.
OxMsiString TrustedTempFolder(const OxMsiString& name);
// True for a reparse point (a junction or a symbolic link).
bool IsReparsePoint(const OxMsiString& path);
// Removes whatever is at `path` (a link itself, never what it points to) and
// opens a new file there without following a link planted in between.
void CreateReplacingFile(const OxMsiString& path, DWORD access, OxFileHandle& file);

}  // namespace OxSetupLib
