#include "run_alerts.h"

#include <ctime>
#include <functional>

#include "common/cp1251.h"
#include "common/timetext.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "common/paths.h"
#include "config/configitem.h"
#include "notify/delivery.h"
#include "notify/message.h"
#include "runtime/runnotes.h"
#include "runtime/rtlog.h"
#include "tw_alerts.h"
#include "tw_file.h"
#include "tw_json.h"

using namespace host::literals;

namespace {

// The job's name as rthost's --job gives it: its file's name without ".json";
// `name` for a job that is not a file.
std::string JobName(HConfigItem& job, const std::string& name) {
    std::string file = job.FileName();
    file.erase(0, file.find_last_of('/') + 1);
    const std::string ext = ".json";
    if (file.size() <= ext.size() || file.compare(file.size() - ext.size(), ext.size(), ext))
        return name;
    return file.substr(0, file.size() - ext.size());
}

// The period as the record keys it: "START/END" without blanks.
std::string PeriodKey(const PRTime& start, const PRTime& end) {
    std::string key = host::TimeText(start) + "/" + host::TimeText(end);
    for (char& c : key)
        if (c == ' ') c = 'T';
    return key;
}

}  // namespace

void SendRunAlerts(HConfigItem& job, const std::string& name, const host::NotifySettings& notify,
                   const TW_File& report, const std::vector<TW_Operation>& operations) {
    if (!notify.Any()) return;
    const TW_Findings findings = TW_CollectFindings(report, operations);
    if (findings.Empty()) return;
    const std::string jobName = JobName(job, name);
    const std::string jobUtf8 = host::Cp1251ToUtf8(jobName);
    const nlohmann::ordered_json document =
        TW_FindingsJson(jobUtf8, report.Start, report.End, findings);
    const std::string digest = host::notify::Digest(TW_FindingsIdentity(document));
    const std::string period = PeriodKey(report.Start, report.End);
    const std::string recordPath = host::StartLocalPath(("State/" + jobName + ".notified").c_str());
    host::notify::DeliveryRecord record;
    if (!record.Load(recordPath.c_str()))
        RTLog("Ошибка чтения записи оповещений %s: %s"_cp, recordPath.c_str(), GetIOErrorS_GUI(-2));

    bool delivered = false;
    auto deliver = [&](const char* channel, const std::string& target,
                       const std::function<bool()>& send) {
        if (record.Delivered(period, channel) == digest) return;
        if (send()) {
            RTLog("TW: Оповещение отправлено: %s %s"_cp, channel,
                  host::Utf8ToCp1251Lossy(target).c_str());
            record.SetDelivered(period, channel, digest);
            delivered = true;
            return;
        }
        const std::string reason = GetIOErrorS_GUI(-2);
        RTLog("Оповещение не доставлено: %s %s: %s"_cp, channel,
              host::Utf8ToCp1251Lossy(target).c_str(), reason.c_str());
        host::CurrentRunNotes().AddUndeliveredAlert(
            {.channel = channel, .target = target, .reason = host::Cp1251ToUtf8(reason)});
    };
    if (!notify.webhook.empty()) {
        const std::string url = host::Cp1251ToUtf8(notify.webhook);
        deliver("webhook", host::notify::UrlWithoutPassword(url),
                [&] { return host::notify::PostJson(url, TW_JsonText(document)); });
    }
    if (notify.HasMail()) {
        std::string shown;
        const std::vector<std::string> to = notify.RecipientsUtf8(shown);
        deliver("mail", shown, [&] {
            const TW_AlertMail mail = TW_FindingsMail(jobUtf8, report.Start, report.End, findings);
            const std::string from = host::Cp1251ToUtf8(notify.mailFrom);
            return host::notify::SendMail(
                host::Cp1251ToUtf8(notify.smtp), from, to,
                host::notify::ComposeMail(from, to, mail.Subject, mail.Body, std::time(nullptr)));
        });
    }
    if (!delivered) return;
    host::MakeDirectories(host::StartLocalPath("State/").c_str());
    if (!record.Save(recordPath.c_str()))
        RTLog("Ошибка записи оповещений %s: %s"_cp, recordPath.c_str(), GetIOErrorS_GUI(-2));
}
