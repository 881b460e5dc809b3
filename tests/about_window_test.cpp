// The About window and the system-information launcher, through the doubles.
#include <gtest/gtest.h>

#include "about_window/frm_about.h"
#include "main_window/frm_scan.h"
#include "platform/window_geometry.h"
#include "tests/fakes/fakes.h"

namespace quorvin {
namespace {

constexpr char kToolKey[] = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr char kFolderKey[] = "SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr char16_t kNotFound[] = u"Information Systeme introuvable !";

class AboutWindowTest : public ::testing::Test {
protected:
    testing::FakePlatform fake;
    FrmScan main;
    frmAbout about;
    testing::FakeWindow& window() { return static_cast<testing::FakeWindow&>(about.window()); }

    void expectOnlyNotFoundMessage()
    {
        ASSERT_EQ(fake.titledMessageBox.shown.size(), 1u);
        EXPECT_EQ(fake.titledMessageBox.shown[0].text, kNotFound);
        EXPECT_EQ(fake.titledMessageBox.shown[0].style, 0);
        EXPECT_FALSE(fake.titledMessageBox.shown[0].title);
    }
};

TEST_F(AboutWindowTest, LoadSetsCaptionTitleAndVersion)
{
    EXPECT_EQ(window().caption(), u"A propos Quorvin");
    EXPECT_EQ(window().control("lblTitle").text(), u"Quorvin");
    EXPECT_EQ(window().control("lblVersion").text(), u"Version 1.1.0");
}

TEST_F(AboutWindowTest, OkUnloadsTheWindow)
{
    window().click("cmdOK");
    EXPECT_FALSE(window().loaded);
}

TEST_F(AboutWindowTest, DetailsHaveEightLinesSeparatedByCrAlone)
{
    window().click("Command1");
    ASSERT_EQ(fake.titledMessageBox.shown.size(), 1u);
    const auto& m = fake.titledMessageBox.shown[0];
    EXPECT_EQ(m.style, 64);
    EXPECT_EQ(m.title, u"A propos");
    EXPECT_EQ(m.text.find(u'\n'), std::u16string::npos);
    EXPECT_EQ(std::count(m.text.begin(), m.text.end(), u'\r'), 7);
    EXPECT_EQ(m.text.substr(0, 74), u"Quorvin version 1.1.0\rRechercher une chaîne de caratères dans un fichier\r\r");
    EXPECT_NE(m.text.find(u"\rE-Mail : contact@ravendo.example\rUrl : https://ravendo.example\r\rLogiciel FREEWARE"),
              std::u16string::npos);
}

TEST_F(AboutWindowTest, LinksOpenTheSiteTheDonationPageAndAMail)
{
    window().click("Label3");
    window().click("Image2");
    fake.shellOpen.fail = true;  // the mail link shrugs off a missing mail client
    window().click("lblDisclaimer");
    ASSERT_EQ(fake.shellOpen.opened.size(), 3u);
    const auto& site = fake.shellOpen.opened[0];
    EXPECT_EQ(site.target, u"https://ravendo.example");
    EXPECT_EQ(site.verb, u"Open");
    EXPECT_EQ(site.parameters, u"");
    EXPECT_EQ(site.workingFolder, u"/opt/quorvin");
    EXPECT_EQ(site.showState, 1);
    EXPECT_EQ(site.owner, window().handle());
    EXPECT_EQ(fake.shellOpen.opened[1].target, u"https://ravendo.example/Don/Don.htm");
    const auto& mail = fake.shellOpen.opened[2];
    EXPECT_EQ(mail.target, u"mailto:contact@ravendo.example");
    EXPECT_EQ(mail.parameters, u"0");
    EXPECT_EQ(mail.workingFolder, u"0");
}

// Tab goes through the buttons and the links as the design orders them, the donation picture (which has no
// tab index) right after the web link above it; labels that are not links take no focus.
TEST_F(AboutWindowTest, TabReachesTheLinksWhereTheDesignPutsThem)
{
    const platform::WindowDesign& design = frmAboutDesign();
    std::vector<std::string> focused;
    for (const std::size_t i : platform::tabOrder(design.controls)) {
        const platform::ControlDesign& c = design.controls[i];
        const bool focusable = c.kind == platform::ControlKind::Button || !c.linkTarget.empty();
        if (platform::inTabOrder(c) && focusable) {
            focused.push_back(c.name);
        }
    }
    EXPECT_EQ(focused,
              (std::vector<std::string>{"cmdOK", "cmdSysInfo", "lblDisclaimer", "Label3", "Image2", "Command1"}));
    for (const platform::ControlDesign& c : design.controls) {
        EXPECT_EQ(!c.linkTarget.empty(), c.handCursor) << c.name;  // every link tells where it goes
    }
}

TEST_F(AboutWindowTest, SysInfoStartsTheToolFromTheFirstLocationReadOnly)
{
    fake.registry.setString(kToolKey, "PATH", "C:\\Program Files\\Common Files\\msinfo32.exe");
    fake.registry.setString(kFolderKey, "MSINFO", "C:\\elsewhere");
    window().click("cmdSysInfo");
    EXPECT_EQ(fake.processStart.started, std::vector<std::u16string>{u"C:\\Program Files\\Common Files\\msinfo32.exe"});
    EXPECT_EQ(fake.processStart.styles, std::vector<int>{1});
    EXPECT_EQ(fake.registry.queried, std::vector<std::string>{std::string(kToolKey) + "|PATH"});
    EXPECT_EQ(fake.registry.accessMasks, std::vector<std::uint32_t>{0x20019});
    EXPECT_EQ(fake.registry.openKeys, 0);
    EXPECT_TRUE(fake.titledMessageBox.shown.empty());
}

TEST_F(AboutWindowTest, SysInfoFallsBackToTheFolderWhenTheFirstIsMissingOrEmpty)
{
    fake.registry.setString(kFolderKey, "MSINFO", "C:\\Tools");
    fake.fileExists.files.insert(u"C:\\Tools\\MSINFO32.EXE");
    window().click("cmdSysInfo");
    fake.registry.setString(kToolKey, "PATH", "", false);  // present but empty
    window().click("cmdSysInfo");
    fake.registry.setString(kToolKey, "PATH", "");  // empty, as the registry editors store it: a NUL alone
    window().click("cmdSysInfo");
    EXPECT_EQ(fake.processStart.started, (std::vector<std::u16string>(3, u"C:\\Tools\\MSINFO32.EXE")));
    EXPECT_TRUE(fake.titledMessageBox.shown.empty());
}

TEST_F(AboutWindowTest, SysInfoSaysNotFoundWhenTheFileIsMissingOrTheToolWontStart)
{
    fake.registry.setString(kFolderKey, "MSINFO", "C:\\Tools");
    window().click("cmdSysInfo");
    expectOnlyNotFoundMessage();

    fake.titledMessageBox.shown.clear();
    fake.registry.setString(kToolKey, "PATH", "C:\\x.exe");
    fake.processStart.fail = true;
    window().click("cmdSysInfo");
    expectOnlyNotFoundMessage();
}

TEST_F(AboutWindowTest, SysInfoSaysNotFoundWithoutARegistryOrADesktopTool)
{
    window().click("cmdSysInfo");
    expectOnlyNotFoundMessage();
    EXPECT_TRUE(fake.processStart.started.empty());
    EXPECT_EQ(fake.desktopSystemInfo.asked, 1);
}

TEST_F(AboutWindowTest, SysInfoStartsTheDesktopToolOnlyWhereTheRegistryNamesNone)
{
    fake.desktopSystemInfo.found = true;
    fake.registry.setString(kToolKey, "PATH", "C:\\x.exe");
    window().click("cmdSysInfo");
    EXPECT_EQ(fake.desktopSystemInfo.asked, 0);

    fake.registry.keys.clear();
    window().click("cmdSysInfo");
    EXPECT_EQ(fake.desktopSystemInfo.asked, 1);
    EXPECT_TRUE(fake.titledMessageBox.shown.empty());

    fake.desktopSystemInfo.fail = true;  // found, but it will not start
    window().click("cmdSysInfo");
    expectOnlyNotFoundMessage();
}

TEST_F(AboutWindowTest, KeyValuesAreReadUpToTheirSize)
{
    std::u16string value = u"stale";
    fake.registry.setString("K", "exact", std::string(1024, 'a'), false);
    fake.registry.setString("K", "withNul", std::string(1023, 'b'));
    fake.registry.setString("K", "tooLong", std::string(1025, 'c'), false);
    fake.registry.setString("K", "accents", "C:\\Programmes\\\xC9t\xE9");
    fake.registry.setDword("K", "number", 305419896);

    EXPECT_TRUE(about.GetKeyValue(platform::kHKeyLocalMachine, "K", "exact", value));
    EXPECT_EQ(value, std::u16string(1024, u'a'));
    EXPECT_TRUE(about.GetKeyValue(platform::kHKeyLocalMachine, "K", "withNul", value));
    EXPECT_EQ(value, std::u16string(1023, u'b'));
    EXPECT_FALSE(about.GetKeyValue(platform::kHKeyLocalMachine, "K", "tooLong", value));
    EXPECT_EQ(value, u"");
    EXPECT_TRUE(about.GetKeyValue(platform::kHKeyLocalMachine, "K", "accents", value));
    EXPECT_EQ(value, u"C:\\Programmes\\Été");
    EXPECT_TRUE(about.GetKeyValue(platform::kHKeyLocalMachine, "K", "number", value));
    EXPECT_EQ(value, u"305419896");
    EXPECT_FALSE(about.GetKeyValue(platform::kHKeyLocalMachine, "missing", "x", value));
    EXPECT_EQ(value, u"");
    EXPECT_EQ(fake.registry.openKeys, 0);
}

}  // namespace
}  // namespace quorvin
