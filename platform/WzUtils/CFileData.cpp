// FXFile::CFileData: directory entries and their file information.
#include "WzUtils/CFileData.h"

#include <cerrno>

#include "WzUtils/FXString.h"

FXFile::CFileData::CFileData(std::string fileName, std::string folder, bool fullPath)
    : m_fileName(std::move(fileName)), m_folder(std::move(folder)), m_fullPath(fullPath) {}

bool FXFile::CFileData::isRelativeFolder() const { return m_fileName == "." || m_fileName == ".."; }

bool FXFile::CFileData::getFileInfo() {
    if (m_infoState != 0) return m_infoState == 1;
    std::string path = m_fileName;
    if (m_fullPath && !m_folder.empty()) {
        path = m_folder;
        if (path.back() != '/') path += '/';
        path += m_fileName;
    }
    if (::lstat(path.c_str(), &m_stat) != 0) {
        m_lastError = errno;
        m_infoState = -1;
        return false;
    }
    m_infoState = 1;
    return true;
}

uint64_t FXFile::CFileData::getSize() { return getFileInfo() ? static_cast<uint64_t>(m_stat.st_size) : 0; }

bool FXFile::CFileData::isDirectory() { return getFileInfo() && (m_stat.st_mode & 0xF000) == 0x4000; }

std::wstring FXFile::CFileData::getFileNameAsWstring() const { return FXString::ToWstring(m_fileName); }
