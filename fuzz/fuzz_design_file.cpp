// The design file arrives with the project package from the network, and its cached copy is
// read again at start-up for the login page.
#include "design/designbuild.h"
#include "quietlogs.h"
#include "model/devicefile.h"

#include <cstdlib>

namespace {

const kora::DeviceModel &deviceModel()
{
    static const kora::DeviceModel model = [] {
        kora::DeviceModel m;
        kora::parseDeviceFile(R"json({
            "device": [{"device": "signal", "list": [
                {"IP": "10.0.0.30(0)", "NodeName": "Cam 1"},
                {"IP": "10.0.0.31(1)", "InNodeNames": {"1": "PC"}},
                {"IP": "10.0.0.5", "NodeName": "dome-IPC"}]}],
            "multi_signal": [{"name": "Quad", "type": "2x2", "list": ["10.0.0.30-0", "", "10.0.0.5-IPC", ""]}],
            "signal_group": [{"name": "收藏", "list": []},
                             {"name": "Studio", "list": ["10.0.0.30(0)", "Quad", "10.0.0.5"]},
                             {"name": "Hidden", "list": ["10.0.0.31(1)"]}],
            "roles": [{"name": "op", "pageList": ["p1"],
                       "signalGroupList": [{"groupName": "收藏"}, {"groupName": "Studio"}]}],
            "users": [{"name": "op", "passwd": "x", "role": "op"}]})json",
                              m, nullptr);
        if (!m.signalList.empty())
            m.signalList.back().star = true;
        return m;
    }();
    return model;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace kora::design;
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const kora::DeviceModel &model = deviceModel();
    if (model.users.empty())
        std::abort();
    const Catalogue catalogue{&model, &model.users.front()};

    const DesignBuild build = buildDesign(bytes, catalogue);
    if (!build.parsed && (!build.announcements.isEmpty() || !build.pages.isEmpty() || !build.walls.isEmpty()))
        std::abort();
    int pages = 0;
    int screens = 0;
    int dockers = 0;
    QString currentPage;
    for (const Announcement &a : build.announcements) {
        if (a.target == Target::Page) {
            currentPage = a.pageId;
            if (build.pages.value(pages).id != a.pageId)
                std::abort();
            ++pages;
            continue;
        }
        // Every widget lands on the page being walked, however deep its groups.
        if (pages == 0 || a.pageId != currentPage)
            std::abort();
        if (a.target == Target::LoginButton || a.target == Target::LoginInputBox)
            std::abort();
        screens += a.target == Target::Screen;
        dockers += a.target == Target::Docker;
    }
    if (pages != build.pages.size() || screens != build.walls.size() || dockers != build.listeners.size())
        std::abort();
    for (const WallRecord &wall : build.walls) {
        if (wall.decoderAddresses.size() > 1024)
            std::abort();
    }

    const LoginPage login = buildLoginPage(bytes);
    if (login.items.parsed != build.parsed || (!login.found && !login.items.announcements.isEmpty()))
        std::abort();
    for (const Announcement &a : login.items.announcements) {
        if (a.pageId != kLoginPageId)
            std::abort();
        switch (a.target) {
        case Target::Rect:
        case Target::Text:
        case Target::Button:
        case Target::LoginButton:
        case Target::LoginInputBox:
            break;
        default:
            std::abort();
        }
    }

    if (chooseJuiFile({QString::fromLatin1(bytes.left(64))}, 16.0 / 9.0) > 0)
        std::abort();
    return 0;
}
