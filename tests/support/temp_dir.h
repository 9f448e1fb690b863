#pragma once
// A folder of a test's own under the system's temporary folder (TMPDIR when
// set), removed with all it holds when the object goes. When the folder
// cannot be made the constructor throws std::runtime_error naming the folder
// and the system's reason: the test framework reports it as that test's
// failure, before anything runs against a folder that is not there.

#include <string>

class CTempDir {
public:
    // `tag` names the folder ("vornak-<tag>.XXXXXX"), so that one left behind
    // by a crash says which test made it.
    explicit CTempDir(const std::string& tag);
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    // Absolute, with symbolic links resolved, as the working directory
    // reads back once a test changes into it.
    const std::string& Path() const { return m_path; }
    // `name` inside the folder.
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};
