#include "cmd_info.h"

#include <cstdio>
#include <cstring>

#include "common/cp1251.h"
#include "plugin_loader.h"
#include "runtime/runtime.h"

void AddInfoCommand(CLI::App& app, int& exitCode) {
    auto* cmd = app.add_subcommand("info", "Load the report module and print its descriptor");
    auto plugin = std::make_shared<std::string>();
    cmd->add_option("--plugin", *plugin,
                    "Path of the report module (default: the one installed with rthost)");
    cmd->callback([plugin, &exitCode] {
        std::string error;
        const std::string path = plugin->empty() ? host::DefaultPluginPath() : *plugin;
        auto loaded = host::LoadedPlugin::Load(path, &error);
        if (!loaded) {
            std::fprintf(stderr, "rthost: %s\n", error.c_str());
            exitCode = 1;
            return;
        }
        RTPModule& m = loaded->Module();
        RTPInfo info{};
        info.Size = int32_t(sizeof info);
        info.Version = 1;
        std::strcpy(info.HostName, "rthost");
        m.Init(&info);
        std::printf("Module: %s\n", path.c_str());
        std::printf("Name: %s\n", host::Cp1251ToUtf8(m.Name ? m.Name : "").c_str());
        std::printf("Description: %s\n",
                    host::Cp1251ToUtf8(m.Description ? m.Description : "").c_str());
        std::printf("Kind: %d, code %d, descriptor size %d, probe %s\n", m.PackageKind,
                    m.PackageCode, m.InfoSize, m.Probe() ? "yes" : "no");
        m.Done();
    });
}
