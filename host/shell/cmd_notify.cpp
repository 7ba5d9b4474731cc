#include "cmd_notify.h"

#include <cstdio>
#include <ctime>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "common/osfile.h"
#include "config/configtree.h"
#include "config/notifynode.h"
#include "notify/delivery.h"
#include "notify/message.h"

namespace {

struct NotifyArgs {
    std::string home;
    std::string job = "Daily";
};

// Prints how the message went on one channel; false when it did not.
bool Report(const char* channel, const std::string& target, bool sent) {
    if (sent)
        std::printf("sent: %s %s\n", channel, target.c_str());
    else
        std::printf("not delivered: %s %s: %s\n", channel, target.c_str(),
                    host::Cp1251ToUtf8(GetIOErrorS_GUI(-2)).c_str());
    return sent;
}

// Sends the test message on every channel; 0 when all took it, else 1.
int SendTests(const std::string& job, const host::NotifySettings& notify) {
    bool all = true;
    if (!notify.webhook.empty()) {
        const std::string url = host::Cp1251ToUtf8(notify.webhook);
        nlohmann::ordered_json doc;
        doc["test"] = true;
        doc["job"] = job;
        all &= Report("webhook", host::notify::UrlWithoutPassword(url),
                      host::notify::PostJson(url, doc.dump(2)));
    }
    if (notify.HasMail()) {
        std::string shown;
        const std::vector<std::string> to = notify.RecipientsUtf8(shown);
        const std::string from = host::Cp1251ToUtf8(notify.mailFrom);
        const std::string message = host::notify::ComposeMail(
            from, to, "Tripwatch " + job + ": test message",
            "A test message of the alerts of job " + job +
                ": this channel works.\nThe alerts of its runs come the same way.\n",
            std::time(nullptr));
        all &= Report("mail", shown,
                      host::notify::SendMail(host::Cp1251ToUtf8(notify.smtp), from, to, message));
    }
    return all ? 0 : 1;
}

}  // namespace

void AddNotifyTestCommand(CLI::App& app, int& exitCode) {
    auto args = std::make_shared<NotifyArgs>();
    CLI::App* cmd = app.add_subcommand(
        "notify-test", "Send a test message through every alert channel of a job of HOME");
    cmd->add_option("HOME", args->home, "Home folder")->required();
    cmd->add_option("--job", args->job, "Job name (HOME/Jobs/NAME.json)");
    cmd->callback([args, &exitCode] {
        const std::string home = host::Utf8ToCp1251Lossy(args->home);
        const std::string jobPath =
            host::JobFilePath(home.c_str(), host::Utf8ToCp1251Lossy(args->job).c_str());
        if (!host::IsDirectory(home.c_str())) {
            std::fprintf(stderr, "rthost notify-test: no home folder %s\n", args->home.c_str());
            exitCode = 2;
            return;
        }
        if (!host::FileExists(jobPath.c_str())) {
            std::fprintf(stderr, "rthost notify-test: no job %s\n",
                         host::Cp1251ToUtf8(jobPath).c_str());
            exitCode = 2;
            return;
        }
        HConfigTree tree;
        host::NotifySettings notify;
        if (!tree.Load(jobPath.c_str(), true) || !host::ReadNotifySettings(*tree.Root(), notify)) {
            std::fprintf(stderr, "rthost notify-test: %s\n",
                         host::Cp1251ToUtf8(GetIOErrorS_GUI(-2)).c_str());
            exitCode = 1;
            return;
        }
        if (!notify.Any()) {
            std::fprintf(stderr,
                         "rthost notify-test: job %s has no alert channel (its \"Notify\")\n",
                         args->job.c_str());
            exitCode = 1;
            return;
        }
        exitCode = SendTests(args->job, notify);
    });
}
