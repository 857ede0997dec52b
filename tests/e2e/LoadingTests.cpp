// Loading the shipped DLL as the browsers did, its entry points, and what it asks of the
// browser over a whole session.
#include "tests/e2e/EndToEndFixture.h"

#include <set>

namespace {

using LoadingTest = EndToEndTest;

class LoadByBrowserTest : public EndToEndTest, public ::testing::WithParamInterface<nphost::BrowserProfile> {};

TEST_P(LoadByBrowserTest, SessionUsesOnlyTheSixHostFunctionsOnTheBrowserThread) {
  StartBrowser(GetParam());
  ASSERT_TRUE(browser->IsLoaded());
  EXPECT_EQ(browser->Library()->MimeType(), "application/TarvoUsbICReader-plugin");
  EXPECT_FALSE(browser->PluginTableOverrun()) << "NP_GetEntryPoints wrote past the table's size";
  EXPECT_EQ(browser->PluginFuncs().javaClass, nullptr);

  nphost::HostedInstance& instance = Embed();
  EXPECT_EQ(browser->LastSetWindowResult(), NPERR_NO_ERROR);
  NPObject* object = nullptr;
  ASSERT_EQ(instance.GetValue(NPPVpluginScriptableNPObject, &object), NPERR_NO_ERROR);
  simreader::Device reader = PlugInReader();
  reader.PresentCard(77);
  ASSERT_TRUE(WaitForScripts(2));
  nphost::PullOut(*browser, reader);
  ASSERT_EQ(instance.Destroy(), NPERR_NO_ERROR);
  browser->Unload();

  const std::set<std::string> allowed = {"getvalue",     "evaluate",     "releasevariantvalue",
                                         "createobject", "retainobject", "releaseobject"};
  for (const auto& call : browser->Calls().bySlot) {
    EXPECT_TRUE(allowed.count(call.first) != 0) << "the plug-in called " << call.first;
  }
  EXPECT_EQ(browser->Calls().fromOtherThreads, 0);
  EXPECT_EQ(browser->WindowObjectReferencesHeldByPlugin(), 0u);
  EXPECT_EQ(browser->Calls().Of("evaluate"), 3);
  EXPECT_EQ(browser->Calls().variantsReleased, 3);
}

nphost::BrowserProfile WithPluginTable(nphost::BrowserProfile profile, std::uint16_t size, const char* name) {
  profile.pluginTableSize = size;
  profile.name = name;
  return profile;
}

INSTANTIATE_TEST_SUITE_P(
    Browsers, LoadByBrowserTest,
    ::testing::Values(nphost::LateFirefox(), nphost::Chromium(),
                      WithPluginTable(nphost::Chromium(), kPluginFuncsThroughSetValue, "smallest_plugin_table")),
    [](const ::testing::TestParamInfo<nphost::BrowserProfile>& tested) { return tested.param.name; });

// The exports, looked up by name and called as a browser calls them.
TEST_F(LoadingTest, EntryPointsCheckSizesAndVersions) {
  kelmar::Win32::UniqueModule module(LoadLibraryA(PluginPath().c_str()));
  ASSERT_TRUE(module);
  const auto getEntryPoints = reinterpret_cast<NP_GetEntryPointsFunc>(
      reinterpret_cast<void*>(GetProcAddress(module.Get(), "NP_GetEntryPoints")));
  const auto initialize =
      reinterpret_cast<NP_InitializeFunc>(reinterpret_cast<void*>(GetProcAddress(module.Get(), "NP_Initialize")));
  const auto shutdown =
      reinterpret_cast<NP_ShutdownFunc>(reinterpret_cast<void*>(GetProcAddress(module.Get(), "NP_Shutdown")));
  ASSERT_TRUE(getEntryPoints && initialize && shutdown);

  EXPECT_EQ(getEntryPoints(nullptr), NPERR_INVALID_FUNCTABLE_ERROR);
  // Sizes are where entries end in this build (60 and 224 bytes on 32-bit).
  constexpr std::uint16_t kPluginTable = kPluginFuncsThroughSetValue;
  for (std::uint16_t size : {kPluginTable - 1, kPluginTable + 0}) {
    NPPluginFuncs table{};
    table.size = size;
    EXPECT_EQ(getEntryPoints(&table), size < kPluginTable ? NPERR_INVALID_FUNCTABLE_ERROR : NPERR_NO_ERROR) << size;
    EXPECT_EQ(table.newp != nullptr, size >= kPluginTable) << size;
    EXPECT_EQ(table.setvalue != nullptr, size >= kPluginTable) << size;
    EXPECT_EQ(table.size, size);
  }

  struct Case {
    std::uint16_t version;
    std::uint16_t size;
    NPError expected;
  };
  constexpr std::uint16_t kHostTable = kNetscapeFuncsThroughRedirectResponse;
  constexpr std::uint16_t kFullHostTable = kNetscapeFuncsWithAsyncSurface;
  for (const Case& c : {Case{0x0100, kFullHostTable, NPERR_INCOMPATIBLE_VERSION_ERROR},
                        Case{0x0100, 100, NPERR_INCOMPATIBLE_VERSION_ERROR},
                        Case{0x001B, kHostTable - 1, NPERR_INVALID_FUNCTABLE_ERROR},
                        Case{0x001B, kHostTable, NPERR_NO_ERROR}, Case{0x001D, kFullHostTable, NPERR_NO_ERROR}}) {
    nphost::HostFunctionTable table = nphost::MakeHostFunctionTable(nphost::Chromium());
    table.funcs.version = c.version;
    table.funcs.size = c.size;
    EXPECT_EQ(initialize(&table.funcs), c.expected) << std::hex << c.version << " " << std::dec << c.size;
  }
  EXPECT_EQ(initialize(nullptr), NPERR_INVALID_FUNCTABLE_ERROR);
  EXPECT_EQ(shutdown(), NPERR_NO_ERROR);
}

TEST_F(LoadingTest, GetValueAnswers) {
  StartBrowser();
  nphost::HostedInstance& instance = Embed();
  const char* text = nullptr;
  EXPECT_EQ(instance.GetValue(NPPVpluginNameString, &text), NPERR_NO_ERROR);
  EXPECT_STREQ(text, "npTARVX");
  EXPECT_EQ(instance.GetValue(NPPVpluginDescriptionString, &text), NPERR_NO_ERROR);
  EXPECT_STREQ(text, "TarvoUsbICReader plugin");
  int xembed = 0x55;
  EXPECT_EQ(instance.GetValue(NPPVpluginNeedsXEmbed, &xembed), NPERR_GENERIC_ERROR);
  EXPECT_EQ(xembed, 0x55);
  EXPECT_EQ(browser->PluginFuncs().getvalue(nullptr, NPPVpluginNameString, &text), NPERR_INVALID_INSTANCE_ERROR);
  NPP_t withoutRecord{nullptr, nullptr};
  EXPECT_EQ(browser->PluginFuncs().getvalue(&withoutRecord, NPPVpluginNameString, &text), NPERR_GENERIC_ERROR);
}

TEST_F(LoadingTest, ScriptableObjectIsOneObjectWithAReferencePerRequest) {
  StartBrowser(nphost::Chromium());
  nphost::HostedInstance& instance = Embed();
  NPObject* objects[3] = {};
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(instance.GetValue(NPPVpluginScriptableNPObject, &objects[i]), NPERR_NO_ERROR);
    EXPECT_EQ(objects[i], objects[0]);
    EXPECT_EQ(browser->Calls().Of("createobject"), 1);
    EXPECT_EQ(browser->Calls().Of("retainobject"), i + 1);
  }
  NPObject* object = objects[0];
  NPClass* objectClass = object->_class;
  EXPECT_EQ(objectClass->structVersion, 3u);

  const NPIdentifier name = reinterpret_cast<NPIdentifier>(0x40);  // opaque to the object
  NPVariant result;
  result.type = NPVariantType_Int32;
  result.value.intValue = 99;
  EXPECT_FALSE(objectClass->hasMethod(object, name));
  EXPECT_FALSE(objectClass->hasProperty(object, name));
  EXPECT_FALSE(objectClass->invoke(object, name, nullptr, 0, &result));
  EXPECT_FALSE(objectClass->construct(object, nullptr, 0, &result));
  EXPECT_FALSE(objectClass->setProperty(object, name, &result));
  EXPECT_FALSE(objectClass->removeProperty(object, name));
  EXPECT_TRUE(objectClass->invokeDefault(object, nullptr, 0, &result));
  EXPECT_EQ(result.type, NPVariantType_Int32);
  EXPECT_EQ(result.value.intValue, 99);
  EXPECT_TRUE(objectClass->getProperty(object, name, &result));
  EXPECT_EQ(result.type, NPVariantType_Void);

  ASSERT_EQ(instance.Destroy(), NPERR_NO_ERROR);
  EXPECT_EQ(browser->Calls().Of("releaseobject"), 1);
  EXPECT_EQ(browser->Objects().ReferenceCount(object), 3u);
  for (NPObject* handedOut : objects) browser->ReleaseObject(handedOut);
  EXPECT_FALSE(browser->Objects().IsAlive(object));
}

}  // namespace
