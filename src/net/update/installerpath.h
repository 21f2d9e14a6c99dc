#pragma once
// Where a downloaded installer goes: the path the user chose, and the hidden temporary
// file beside it that the download fills. The chosen path is replaced only by Commit,
// after a complete download; on every other path the temporary file is removed, so a
// failed or stopped download never destroys an existing file nor leaves a partial one.
#include "base/fileio.h"
#include "base/texts.h"

class cInstallerPath
{
public:
    cInstallerPath() = default;
    // Closes and removes the temporary file unless it was committed.
    ~cInstallerPath();
    cInstallerPath(const cInstallerPath&) = delete;
    cInstallerPath& operator=(const cInstallerPath&) = delete;

    // Splits `path` into its folder (up to the last '/'; "/" for "/x") and name. False
    // when memory is short or the path has no '/' or cannot be encoded.
    [[nodiscard]] bool SetChosenPath(const char16_t* path);
    const char16_t* GetPath() const { return m_path.GetOrEmpty(); }
    const char16_t* GetFolder() const { return m_folder.GetOrEmpty(); }

    // Makes ".<name>.XXXXXX" in the chosen folder (same file system, so the rename is
    // atomic; the name cut so the component stays within 255 bytes) and opens it in
    // `file` for reading and writing.
    [[nodiscard]] bool CreateTemporary(cFileIO& file);
    // True when the chosen path is missing, a regular file or a symbolic link: what the
    // rename may replace. A device or a FIFO is never turned into a regular file, and a
    // link is replaced as a link, never followed. False with errno set otherwise.
    [[nodiscard]] bool IsReplaceable() const;
    // Closes `file`, flushes the temporary file to the disk and renames it over the
    // chosen path when that is still replaceable. False, with the temporary file removed
    // and errno telling why, when that fails.
    [[nodiscard]] bool Commit(cFileIO& file);

private:
    void Discard();

    _guardchar<char16_t> m_path;
    _guardchar<char16_t> m_folder;
    _guardchar<char> m_pathBytes;
    _guardchar<char> m_temporaryBytes;
    int m_descriptor = -1; // of the temporary file, kept for the flush
};
