#pragma once
// Chinese for texts of Qt's own widgets that Qt's Chinese catalogue
// (qtbase_zh_CN) leaves in English: the file dialog's type column names a
// folder "Folder" without them.

struct QtTextGap {
    const char* context;  // Qt's translation context
    const char* source;   // Qt's English text
    const char* chinese;  // UTF-8
};

inline constexpr QtTextGap kQtTextGaps[] = {
    {"QAbstractFileIconProvider", "Folder", "文件夹"},
    {"QAbstractFileIconProvider", "Drive", "驱动器"},
    {"QAbstractFileIconProvider", "File", "文件"},
    {"QAbstractFileIconProvider", "%1 File", "%1 文件"},
};
