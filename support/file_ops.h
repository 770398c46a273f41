// Small file-system operations of the EFI boot-file step: whether a file or
// folder is there, stepping the current directory up, deleting a tree.
#pragma once

#include <string>

// True when a directory search finds the path (a file or a folder; with
// wildcards, anything matching). A drive root, or a path ending in a
// backslash, is found by no search.
bool FileExists(std::wstring szPath);

// Makes the parent of the current directory the current directory, never
// landing on a drive root. Returns 1 when it moved, 0 when the current
// directory stayed as it was (also when the platform refused the change).
// pBuffer (may be null) receives the folder stepped to, or what the rule
// below leaves in it.
int StepUpCurrentDirectory(std::wstring* pBuffer);

// Deletes the folder pPath with everything in it, without asking, after
// stepping the current directory out of its way. True when the shell
// reported success. A path too long for the delete buffer is refused
// (false), never cut.
bool DeleteFolderTree(const wchar_t* pPath);

// True when szPath is szFolder or lies below it, compared by volume and by
// the path on it, so whichever letter or folder mounts the volume (an EFI
// system partition at S: and at R:). Where either volume cannot be told,
// the two paths are compared as text, letters A to Z without regard to case.
bool LiesInFolder(const std::wstring& szPath, const std::wstring& szFolder);

// True when both paths lie on one volume, by whatever letters or folders;
// false when either volume cannot be told.
bool OnSameVolume(const std::wstring& szA, const std::wstring& szB);

// ---- the rules, without the platform

constexpr size_t kCurrentDirectoryChars = 260;  // read size of the current directory
constexpr size_t kDeletePathChars = 260;        // longest path the delete takes

// "C:" or "C:\" with a letter A to Z of either case.
bool IsDriveRootForm(const std::wstring& sz);

// What one step up does from szCurrent.
struct StepUpRule {
  bool m_WriteBuffer = false;  // the caller's buffer receives m_Folder
  bool m_Step = false;         // m_Folder becomes the current directory
  std::wstring m_Folder;
};
StepUpRule DecideStepUp(const std::wstring& szCurrent);

// True when szCurrent is a folder above szPath (ASCII letters compared
// without regard to case): stepping can stop there.
bool IsFolderAbove(const std::wstring& szCurrent, const std::wstring& szPath);
