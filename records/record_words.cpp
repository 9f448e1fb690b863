#include "records/record_words.h"

#include <iterator>

#include "records/unit_record.h"
#include "res/station_texts.h"

namespace {

struct Words {
    const char* code;
    const char* words;
};

constexpr Words kSteps[] = {
    {kStepIdentify, "读取身份"}, {kStepInterlock, "互锁检查"}, {kStepFirmware, "固件更新"},
    {kStepSettings, "写入配置"}, {kStepDownload, "下载文件"},  {kStepJump, "跳转运行"},
    {kStepRecord, "保存记录"},
};

constexpr Words kReasons[] = {
    {kReasonNoBox, "未找到设备"},
    {kReasonNoReply, "设备无应答"},
    {kReasonBoxRefused, "设备拒绝请求"},
    {kReasonVersionMismatch, "版本不符"},
    {kReasonVerifyMismatch, "配置读回不一致"},
    {kReasonPackageMismatch, "文件与配方不符"},
    {kReasonPortError, "串口错误"},
    {kReasonFileError, "文件错误"},
    {kReasonAlreadyPassed, "该序列号已通过"},
    {kReasonDuplicateSerial, "序列号重复(两个工位同一设备)"},
    {kReasonAborted, "已中止"},
    {kReasonIncompatibleBox, "设备型号与发布包不符"},
    {kReasonRecordError, "记录保存失败"},
};

template <std::size_t N>
std::string Lookup(const Words (&table)[N], const std::string& code) {
    for (const Words& w : table) {
        if (code == w.code)
            return w.words;
    }
    return code;
}

}  // namespace

std::string StepWords(const std::string& step) {
    return Lookup(kSteps, step);
}

std::string ReasonWords(const std::string& reasonCode) {
    return Lookup(kReasons, reasonCode);
}

const char* ResultWords(UnitResult result) {
    switch (result) {
        case UnitResult::Pass:
            return kTextResultPass;
        case UnitResult::Fail:
            return kTextResultFail;
        case UnitResult::Aborted:
            return kTextResultAborted;
    }
    return kTextResultFail;
}
