#pragma once
// A folder of this process's own (mode 0700, under TMPDIR or /tmp), removed
// with everything in it when the object goes: a bundle is unpacked only into
// one, so nothing of it is left behind, whatever way the reading ends.

#include <string>

class CPrivateFolder {
public:
    CPrivateFolder() = default;
    ~CPrivateFolder();
    CPrivateFolder(const CPrivateFolder&) = delete;
    CPrivateFolder& operator=(const CPrivateFolder&) = delete;

    // Makes the folder ("<tag>.XXXXXX"). False with a message in `error`;
    // the object then holds none.
    bool Create(const std::string& tag, std::string& error);
    // Absolute; empty before Create.
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};
