// A job's alert channels ("Notify"), read as strictly as its other keys.
#include <gtest/gtest.h>

#include <string>

#include "common/cp1251.h"
#include "common/lasterror.h"
#include "config/configtree.h"
#include "config/notifynode.h"
#include "data_files.h"

using namespace host::literals;

namespace {

TEST(NotifyNode, EachValueIsTakenOrRefusedWithItsMessage) {
    struct Case {
        const char* json;     // the job's "Notify" node
        const char* problem;  // empty: read; else the message after the file's name
    };
    const std::string path = twtest::ScratchDir("notify") + "job.json";
    const std::string place = "Файл настроек \""_cp + path + "\", узел Notify"_cp;
    const Case cases[] = {
        {R"({})", ""},
        {R"({"Webhook": ""})", ""},
        {R"({"Webhook": "https://hooks.example/a?b=c"})", ""},
        {R"({"Webhook": "HTTP://u:p@10.0.0.1:8080"})", ""},
        {R"({"Mail": {"To": "", "From": "", "Smtp": ""}})", ""},
        {R"({"Mail": {"To": "a@x.example, b@y.example", "From": "tw@x.example",
             "Smtp": "smtps://user:pw@mail.example:465"}})",
         ""},
        {R"({"Webhook": "ftp://hooks.example/a"})",
         ", ключ \"Webhook\": ожидается адрес http:// или https://, записано "
         "\"ftp://hooks.example/a\""},
        {R"({"Webhook": "http://"})",
         ", ключ \"Webhook\": ожидается адрес http:// или https://, записано \"http://\""},
        {R"({"Webhook": "http://a b"})",
         ", ключ \"Webhook\": ожидается адрес http:// или https://, записано \"http://a b\""},
        {R"({"Webhook": 5})", ", ключ \"Webhook\": ожидается текст в кавычках, записано 5"},
        {R"({"Mail": {"From": "tw@x.example", "Smtp": "smtp://mail"}})",
         "/Mail, ключ \"To\": ожидается один или несколько адресов через запятую, записано \"\""},
        {R"({"Mail": {"To": "a@x.example,,b@x.example", "From": "tw@x.example", "Smtp": "smtp://m"}})",
         "/Mail, ключ \"To\": ожидается один или несколько адресов через запятую, записано "
         "\"a@x.example,,b@x.example\""},
        {R"({"Mail": {"To": "Shift <a@x.example>", "From": "tw@x.example", "Smtp": "smtp://m"}})",
         "/Mail, ключ \"To\": ожидается один или несколько адресов через запятую, записано "
         "\"Shift <a@x.example>\""},
        {R"({"Mail": {"To": "a@x.example", "Smtp": "smtp://m"}})",
         "/Mail, ключ \"From\": ожидается адрес отправителя, записано \"\""},
        {R"({"Mail": {"To": "a@x.example", "From": "tw@x.example", "Smtp": "https://m"}})",
         "/Mail, ключ \"Smtp\": ожидается адрес smtp:// или smtps://, записано \"https://m\""},
        {R"({"Mail": {"To": "a@x.example", "From": "tw@x.example"}})",
         "/Mail, ключ \"Smtp\": ожидается адрес smtp:// или smtps://, записано \"\""},
    };
    for (const Case& c : cases) {
        twtest::WriteFile(path, "{\"Notify\": " + std::string(c.json) + "}");
        HConfigTree tree;
        ASSERT_TRUE(tree.Load(path.c_str(), true)) << c.json;
        host::NotifySettings s;
        const bool read = host::ReadNotifySettings(*tree.Root(), s);
        EXPECT_EQ(read, !*c.problem) << c.json;
        if (!read) {
            EXPECT_EQ(GetIOErrorS_GUI(-2), place + host::Utf8ToCp1251Lossy(c.problem)) << c.json;
            EXPECT_FALSE(s.Any()) << c.json;
        }
    }
}

TEST(NotifyNode, AJobWithoutTheNodeHasNoChannelAndWhatIsWrittenReadsBack) {
    HConfigTree tree;
    host::NotifySettings s;
    s.webhook = "x";
    ASSERT_TRUE(host::ReadNotifySettings(*tree.Root(), s));
    EXPECT_FALSE(s.Any());
    EXPECT_EQ(tree.Root()->FindChild("Notify"), nullptr);

    const host::NotifySettings written{.webhook = "https://h.example/x",
                                       .mailTo = " a@x.example ,b@x.example",
                                       .mailFrom = "tw@x.example",
                                       .smtp = "smtp://m.example"};
    host::WriteNotifySettings(*tree.Root(), written);
    ASSERT_TRUE(host::ReadNotifySettings(*tree.Root(), s));
    EXPECT_EQ(s.webhook, written.webhook);
    EXPECT_EQ(s.mailTo, written.mailTo);
    EXPECT_EQ(s.Recipients(), (std::vector<std::string>{"a@x.example", "b@x.example"}));
    EXPECT_EQ(s.smtp, written.smtp);
}

}  // namespace
