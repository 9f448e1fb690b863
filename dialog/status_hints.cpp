#include "dialog/status_hints.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>

#include "link/status_words.h"
#include "res/status_texts.h"

namespace {

// The failure report of a firmware update: "wErr=XXXX; Code=YYYY; wLen=ZZZZ;".
constexpr std::string_view kUpgradeReportHead = "wErr=";
constexpr std::string_view kUpgradeCodeField = "Code=";

struct CodeHint {
    std::uint16_t code;
    const char* hint;
};

// The link's own failure codes; any other code is the box's result word.
constexpr CodeHint kCodeHints[] = {
    {ST_NO_DEVICE,
     "在 COM1 至 COM29 上没有设备应答:请检查串口线是否接好、设备是否上电、USB 串口适配器是否插好"
     "(vornak-cli ports 列出本机串口);串口被其他程序占用或没有权限时也无法打开。"},
    {ST_CLOSE_FAILED, "串口未能正常关闭:请拔下 USB 串口适配器后重新插上。"},
    {ST_SEND_FAILED,
     "请求未能写入串口:USB 串口适配器可能已被拔出或出现故障,请检查连接后重新连接。"},
    {ST_NO_REPLY,
     "串口已打开,但设备没有在规定时间内应答或应答不完整:请检查设备是否上电、串口线是否接在这个"
     "串口上、线缆是否松动。"},
    {ST_FRAME_WRITE_FAILED, "数据帧未能写入串口:请检查串口线和 USB 串口适配器。"},
    {ST_SHORT_REPLY,
     "设备的应答比所读的设置块短,不能当作读出的设置(可能是设备自发的数据帧恰好被当成了应答):"
     "请再读一次;反复出现时请检查设备和串口线。"},
};

bool ParseHex16(std::string_view text, std::uint16_t& value) {
    if (text.size() != 4)
        return false;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return ec == std::errc() && ptr == text.data() + text.size();
}

std::string CodeHintText(std::uint16_t code) {
    for (const CodeHint& h : kCodeHints) {
        if (h.code == code)
            return h.hint;
    }
    char text[8];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(code));
    return std::string("设备拒绝了这个请求,设备返回的结果码为 ") + text +
           ":请检查设备当前的状态和所做的操作是否适用于这台设备。";
}

// The firmware update's transfer failed with link word `link`; `code` is the
// result word of the last reply that arrived.
std::string UpgradeTransferHint(std::uint16_t link, std::uint16_t code) {
    std::string hint =
        "固件刷新失败(wErr 为串口通信结果,EE00 表示通信正常;Code 为设备返回的结果码;wLen "
        "为应答长度):";
    if (link != ST_OK)
        return hint + CodeHintText(link);
    if (code != RESULT_OK)
        return hint + CodeHintText(code);
    return hint + "设备的应答过短,请重新连接后再试一次。";
}

std::string UpgradeReportHint(std::string_view text) {
    std::uint16_t link = 0;
    std::uint16_t code = 0;
    const std::size_t codeAt = text.find(kUpgradeCodeField);
    if (!ParseHex16(text.substr(kUpgradeReportHead.size(), 4), link) ||
        codeAt == std::string_view::npos ||
        !ParseHex16(text.substr(codeAt + kUpgradeCodeField.size(), 4), code)) {
        return {};
    }
    return UpgradeTransferHint(link, code);
}

constexpr char kSendFailedHint[] =
    "设备没有接受发送的数据:请检查串口连接和所选的装载地址,然后重新发送;"
    "连续失败时请重新连接设备。";
constexpr char kSendCannotOpenHint[] =
    "无法打开要发送的文件:请检查文件路径是否正确、文件是否存在、是不是文件夹,"
    "以及当前用户能否读取它。";
constexpr char kSendReadErrorHint[] =
    "文件读取出错:文件可能过大、正在被修改或所在的磁盘出错,请检查文件后重试。";
constexpr char kPackageIncompleteHint[] = "固件包比包头声明的短或无法完整读取:请重新获取固件包。";

std::string PackageCannotOpenHint(const std::string& path) {
    const std::string problem = FileProblemHint(path);
    return problem.empty() ? "无法打开固件包 " + path + ",请检查文件是否完好。" : problem;
}

// A file that could not be loaded (or, to send, hashed): nothing was sent.
std::string LoadHint(const OpResult& r, HintFile file, const std::string& path) {
    if (r.load == ImageLoad::NoMemory)
        return {};
    if (file == HintFile::SendFile) {
        if (r.failedStep == OpStep::Digest)
            return kSendFailedHint;
        if (r.load != ImageLoad::OpenFailed)
            return kSendReadErrorHint;
        // What is wrong with the file itself, when that can be told.
        const std::string problem = path.empty() ? std::string() : FileProblemHint(path);
        return problem.empty() ? std::string(kSendCannotOpenHint) : problem;
    }
    if (file == HintFile::Package) {
        return r.load == ImageLoad::OpenFailed ? PackageCannotOpenHint(path)
                                               : std::string(kPackageIncompleteHint);
    }
    return {};
}

std::string StepHint(const OpResult& r, HintFile file, const std::string& path) {
    switch (r.failedStep) {
        case OpStep::None:
        case OpStep::Input:
        case OpStep::Jump:
            return {};
        case OpStep::Load:
        case OpStep::Digest:
            return LoadHint(r, file, path);
        case OpStep::UpgradeBegin:
        case OpStep::UpgradeData:
        case OpStep::UpgradeCommit:
            return UpgradeTransferHint(r.status, r.resultWord);
        case OpStep::InfoBlock:
        case OpStep::FileData:
            return kSendFailedHint;
        case OpStep::Identity:
        case OpStep::Probe:
        case OpStep::ConfigRead:
        case OpStep::ConfigWrite:
        case OpStep::FactoryReset:
            return CodeHintText(r.failureCode);
    }
    return {};
}

}  // namespace

std::string HintForStatus(std::string_view text) {
    if (text.starts_with(kTextErrorPrefix)) {
        std::uint16_t code = 0;
        if (!ParseHex16(text.substr(std::strlen(kTextErrorPrefix)), code))
            return {};
        return CodeHintText(code);
    }
    if (text.starts_with(kUpgradeReportHead))
        return UpgradeReportHint(text);
    if (text == kTextSendFailed)
        return kSendFailedHint;
    if (text == kTextSendCannotOpen)
        return kSendCannotOpenHint;
    if (text.starts_with(kTextUpgradeCannotOpen))
        return PackageCannotOpenHint(std::string(text.substr(std::strlen(kTextUpgradeCannotOpen))));
    if (text == kTextSendReadError)
        return kSendReadErrorHint;
    if (text == kTextUpgradeIncomplete)
        return kPackageIncompleteHint;
    return {};
}

std::vector<std::string> HintsForResult(const OpResult& result, HintFile file,
                                        const std::string& path) {
    std::vector<std::string> hints;
    const auto add = [&hints](std::string hint) {
        if (!hint.empty() && std::find(hints.begin(), hints.end(), hint) == hints.end())
            hints.push_back(std::move(hint));
    };
    if (!result.ok)
        add(StepHint(result, file, path));
    for (std::uint16_t code : result.laterFailureCodes)
        add(CodeHintText(code));
    return hints;
}

std::string FileProblemHint(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return "文件 " + path + " 不存在:请检查文件名和所在的文件夹。";
        return "无法访问文件 " + path + ":" + std::strerror(errno) + "。";
    }
    if (S_ISDIR(st.st_mode))
        return path + " 是文件夹,不是文件:请选择文件夹中的文件。";
    if (!S_ISREG(st.st_mode))
        return path + " 不是普通文件:请选择一个普通文件。";
    if (access(path.c_str(), R_OK) != 0)
        return "文件 " + path + " 存在,但当前用户没有读取权限:请检查文件的权限。";
    return {};
}

std::string FileWriteProblemHint(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0)
        return "文件夹 " + folder + " 不存在:请检查文件夹。";
    if (!S_ISDIR(st.st_mode))
        return folder + " 不是文件夹。";
    if (stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return path + " 是文件夹,不是文件:请移走或改名该文件夹。";
        if (!S_ISREG(st.st_mode))
            return path + " 不是普通文件:请移走该文件。";
    }
    // The file is replaced by a new one made in its folder.
    if (access(folder.c_str(), W_OK) != 0)
        return "当前用户没有写入文件夹 " + folder + " 的权限:请检查文件夹的权限。";
    struct statvfs fs {};
    if (statvfs(folder.c_str(), &fs) == 0 && fs.f_bavail == 0)
        return "文件夹 " + folder + " 所在的磁盘已满:请清理磁盘。";
    return {};
}
