// WriteJobNode, exported beside QueryPackageInfo: a job node written from the
// host's plain description of a job (runtime/rtpjob.h), its settings through
// the key table and its contours through the contour set's own persistence.
#include <cstring>
#include <exception>
#include <string>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/strutil.h"
#include "common/timetext.h"
#include "config/configitem.h"
#include "job_keys.h"
#include "report_tripwatch.h"
#include "tw_contourarray.h"
#include "tw_oprules.h"

using namespace host::literals;
using tripplug::JobKey;

namespace {

// Copies `text` (null: empty) into a member of `size` bytes; false, with the
// last error naming the contour and what the text is, when it does not fit.
template <std::size_t size>
bool CopyText(char (&member)[size], const char* text, int contour, const char* what) {
    const char* t = text ? text : "";
    if (std::strlen(t) >= size) {
        SetError("Контур %d: %s длиннее %d знаков"_cp, contour, what, int(size - 1));
        return false;
    }
    StrCpy(member, t, int(size));
    return true;
}

bool ToLine(const RTPJobLine& in, int contour, TW_ContourSignal& out) {
    out.Used = in.Used;
    out.State = in.State;
    out.MaxTime = in.MaxTime;
    return CopyText(out.Sensor, in.Sensor, contour, "имя переменной"_cp) &&
           CopyText(out.ONName, in.ONName, contour, "текст сработки"_cp) &&
           CopyText(out.OFFName, in.OFFName, contour, "текст несработки"_cp);
}

bool ToContour(const RTPJobContour& in, int contour, TW_Contour& out) {
    out.Used = in.Used;
    out.Interval = in.Interval;
    out.State = in.State;
    out.ValueType = in.ValueType;
    return CopyText(out.Sensor, in.Sensor, contour, "имя датчика"_cp) &&
           CopyText(out.StateName, in.StateName, contour, "название события"_cp) &&
           CopyText(out.Limit, in.Limit, contour, "уставка"_cp) &&
           ToLine(in.Rele, contour, out.Rele) && ToLine(in.Prot, contour, out.Prot);
}

// The settings the description gives, in the key table's order.
void WriteSettings(HConfigItem& node, const RTPJobSettings& s) {
    const auto text = [&](JobKey key, const char* value) {
        if (value) tripplug::WriteText(node, key, value);
    };
    const auto flag = [&](JobKey key, RTPJobFlag value) {
        if (value.Given) tripplug::WriteFlag(node, key, value.Value != 0);
    };
    const auto date = [&](JobKey key, RTPJobDate value) {
        if (value.Given) tripplug::WriteDate(node, key, value.Value);
    };
    text(JobKey::Name, s.Name);
    flag(JobKey::LoadCfg, s.LoadCfg);
    text(JobKey::CfgFile, s.CfgFile);
    flag(JobKey::UseCfg, s.UseCfg);
    date(JobKey::CfgDate, s.CfgDate);
    date(JobKey::CfgTime, s.CfgTime);
    flag(JobKey::SaveVals, s.SaveVals);
    text(JobKey::ValPath, s.ValPath);
    flag(JobKey::SaveBIN, s.SaveBIN);
    text(JobKey::ReportDir, s.ReportDir);
    flag(JobKey::SaveTXT, s.SaveTXT);
    text(JobKey::TXTDir, s.TXTDir);
    flag(JobKey::SaveXLS, s.SaveXLS);
    text(JobKey::XLSDir, s.XLSDir);
    text(JobKey::XLSTempl, s.XLSTempl);
    flag(JobKey::Print, s.Print);
    flag(JobKey::Preview, s.Preview);
    flag(JobKey::PrvManual, s.PrvManual);
}

// The commands and maintenance windows of the description; false (last error
// set) for a list without its records or a moment that is not one.
bool ToRules(const RTPJob& job, TW_OperationRules& rules) {
    if (job.CommandCount < 0 || (job.CommandCount > 0 && !job.Commands) ||
        job.MaintenanceCount < 0 || (job.MaintenanceCount > 0 && !job.Maintenance)) {
        SetError("%s", "Описание задания: список команд или обслуживания без записей"_cp);
        return false;
    }
    auto text = [](const char* t) { return std::string(t ? t : ""); };
    for (int i = 0; i < job.CommandCount; ++i) {
        const RTPJobCommand& c = job.Commands[i];
        rules.Commands.push_back({text(c.Line), text(c.Variable), c.State, c.Seconds});
    }
    for (int i = 0; i < job.MaintenanceCount; ++i) {
        const RTPJobMaintenance& m = job.Maintenance[i];
        TW_MaintenanceWindow w{text(m.Variable), {}, {}, text(m.Note)};
        if (!host::ParseTimeText(text(m.From).c_str(), w.From) ||
            !host::ParseTimeText(text(m.To).c_str(), w.To)) {
            SetError("Описание задания: окно обслуживания %d: время не ГГГГ-ММ-ДД ЧЧ:ММ:СС"_cp,
                     i + 1);
            return false;
        }
        rules.Maintenance.push_back(std::move(w));
    }
    return true;
}

bool WriteJob(HConfigItem& node, const RTPJob& job) {
    if (job.ContourCount < 0 || (job.ContourCount > 0 && !job.Contours)) {
        SetError("Описание задания: %d контуров без списка"_cp, job.ContourCount);
        return false;
    }
    TW_OperationRules rules;
    if (!ToRules(job, rules)) return false;
    TW_ContourArray contours;
    for (int i = 0; i < job.ContourCount; ++i) {
        TW_Contour c;
        if (!ToContour(job.Contours[i], i, c)) return false;
        contours.Add(c);
    }
    WriteSettings(node, job.Settings);
    contours.Save(&node);
    if (job.CommandCount || job.MaintenanceCount) TW_SaveOperationRules(node, rules);
    return true;
}

}  // namespace

extern "C" bool WriteJobNode(HConfigItem* node, const RTPJob* job) {
    if (!node || !job) {
        SetError("%s", "Задание не записано: нет узла или описания"_cp);
        return false;
    }
    if (job->Size != int32_t(sizeof(RTPJob))) {
        SetError("Описание задания не того размера: %d байт, ожидается %d"_cp, job->Size,
                 int(sizeof(RTPJob)));
        return false;
    }
    try {
        return WriteJob(*node, *job);
    } catch (...) {
        return host::SetCaughtError();  // nothing crosses into the host
    }
}
