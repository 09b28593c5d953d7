// The design file (and its cached copy) comes from the network: widgets land on their page, unparsed builds nothing.
#include "design/designbuild.h"
#include "model/devicefile.h"
#include "quietlogs.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace kora::design;
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    // A small installation, so that tree views build their catalogue.
    static const kora::DeviceModel model = [] {
        kora::DeviceModel m;
        kora::parseDeviceFile(R"json({"device":[{"device":"signal","list":[{"IP":"10.0.0.30(0)","NodeName":"Cam"}]}],
            "signal_group":[{"name":"Studio","list":["10.0.0.30(0)"]}],
            "roles":[{"name":"op","pageList":["p1"],"signalGroupList":[{"groupName":"Studio"}]}],
            "users":[{"name":"op","passwd":"x","role":"op"}]})json", m, nullptr);
        return m;
    }();
    const DesignBuild build = buildDesign(bytes, Catalogue{&model, model.users.empty() ? nullptr : &model.users.front()});
    if (!build.parsed && !build.announcements.isEmpty())
        std::abort();
    int pages = 0, screens = 0;
    QString page;
    for (const Announcement &a : build.announcements) {
        if (a.target == Target::Page) {
            page = a.pageId;
            ++pages;
        } else if (pages == 0 || a.pageId != page || a.target == Target::LoginButton) {
            std::abort();
        }
        screens += a.target == Target::Screen;
    }
    if (pages != build.pages.size() || screens != build.walls.size())
        std::abort();
    const LoginPage login = buildLoginPage(bytes);
    for (const Announcement &a : login.items.announcements) {
        if (a.pageId != kLoginPageId)
            std::abort();
    }
    return 0;
}
