// The exports and the small table functions, called directly: what they write, what they
// leave alone, and the answers for null and valid instances.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "plugin/EntryPoints.h"
#include "plugin/PluginFunctions.h"
#include "plugin/PluginInstance.h"
#include "plugin/PluginState.h"
#include "tools/host/Browser.h"

namespace {

constexpr unsigned char kUntouched = 0xCC;

// Table sizes where an entry ends, for this build's pointer size (npfunctions.h).
constexpr std::uint16_t kHostTable = kNetscapeFuncsThroughRedirectResponse;  // 224 on 32-bit
constexpr std::uint16_t kHostTableThroughSetException =                      // 164 on 32-bit
    static_cast<std::uint16_t>(offsetof(NPNetscapeFuncs, setexception) + sizeof(NPN_SetExceptionProcPtr));

// A plug-in table of the given size inside a larger buffer of marker bytes.
struct PluginTableBuffer {
  alignas(NPPluginFuncs) unsigned char bytes[sizeof(NPPluginFuncs) + 16];
  explicit PluginTableBuffer(std::uint16_t size, std::uint16_t version = 29) {
    std::memset(bytes, kUntouched, sizeof bytes);
    Table()->size = size;
    Table()->version = version;
  }
  NPPluginFuncs* Table() { return reinterpret_cast<NPPluginFuncs*>(bytes); }
  bool UntouchedFrom(std::size_t offset) const {
    for (std::size_t i = offset; i < sizeof bytes; ++i) {
      if (bytes[i] != kUntouched) return false;
    }
    return true;
  }
};

TEST(GetEntryPoints, NullTableIsRefused) { EXPECT_EQ(NP_GetEntryPoints(nullptr), NPERR_INVALID_FUNCTABLE_ERROR); }

TEST(GetEntryPoints, TableSmallerThanSetValueIsLeftAsItWas) {
  constexpr std::uint16_t kOneByteShort = kPluginFuncsThroughSetValue - 1;
  PluginTableBuffer buffer(kOneByteShort);
  EXPECT_EQ(NP_GetEntryPoints(buffer.Table()), NPERR_INVALID_FUNCTABLE_ERROR);
  EXPECT_EQ(buffer.Table()->size, kOneByteShort);
  EXPECT_TRUE(buffer.UntouchedFrom(offsetof(NPPluginFuncs, newp)));
}

class GetEntryPointsBySize : public ::testing::TestWithParam<std::uint16_t> {};

TEST_P(GetEntryPointsBySize, FillsTheThirteenEntriesAndNothingElse) {
  PluginTableBuffer buffer(GetParam(), 23);
  NPPluginFuncs* table = buffer.Table();
  ASSERT_EQ(NP_GetEntryPoints(table), NPERR_NO_ERROR);

  EXPECT_EQ(table->size, GetParam());
  EXPECT_EQ(table->version, 23);
  EXPECT_EQ(table->newp, &NPP_New);
  EXPECT_EQ(table->destroy, &NPP_Destroy);
  EXPECT_EQ(table->setwindow, &NPP_SetWindow);
  EXPECT_EQ(table->newstream, &NPP_NewStream);
  EXPECT_EQ(table->destroystream, &NPP_DestroyStream);
  EXPECT_EQ(table->asfile, &NPP_StreamAsFile);
  EXPECT_EQ(table->writeready, &NPP_WriteReady);
  EXPECT_EQ(table->write, &NPP_Write);
  EXPECT_EQ(table->print, &NPP_Print);
  EXPECT_EQ(table->event, &NPP_HandleEvent);
  EXPECT_EQ(table->urlnotify, &NPP_URLNotify);
  EXPECT_EQ(table->getvalue, &NPP_GetValue);
  EXPECT_EQ(table->setvalue, &NPP_SetValue);
  // javaClass keeps the browser's bytes, and nothing past setvalue is written.
  for (std::size_t i = offsetof(NPPluginFuncs, javaClass); i < offsetof(NPPluginFuncs, getvalue); ++i) {
    EXPECT_EQ(buffer.bytes[i], kUntouched) << "javaClass byte " << i;
  }
  EXPECT_TRUE(buffer.UntouchedFrom(kPluginFuncsThroughSetValue));
}

// Through setvalue, Chromium's table, the whole table (60, 80 and 84 bytes on 32-bit).
INSTANTIATE_TEST_SUITE_P(BrowserTableSizes, GetEntryPointsBySize,
                         ::testing::Values(kPluginFuncsThroughSetValue, kPluginFuncsThroughSitesWithData,
                                           static_cast<std::uint16_t>(sizeof(NPPluginFuncs))));

// A browser table whose every entry holds a distinct made-up address.
nphost::HostFunctionTable NumberedTable(std::uint16_t size, std::uint16_t version) {
  nphost::HostFunctionTable table{};
  auto* words = reinterpret_cast<std::uintptr_t*>(&table);
  for (std::size_t i = 1; i < sizeof table / sizeof *words; ++i) words[i] = 0x1000 + i;
  table.funcs.size = size;
  table.funcs.version = version;
  return table;
}

struct InitializeCase {
  const char* name;
  std::uint16_t version;
  std::uint16_t size;
  NPError expected;
};

// The made-up addresses must not outlive the test that installed them.
class InitializeRefusal : public ::testing::TestWithParam<InitializeCase> {
 protected:
  void TearDown() override { g_hostFuncs = NPNetscapeFuncs{}; }
};

class Initialize : public ::testing::Test {
 protected:
  void TearDown() override { g_hostFuncs = NPNetscapeFuncs{}; }
};

TEST_P(InitializeRefusal, RefusesAndKeepsThePreviousCopy) {
  nphost::HostFunctionTable good = NumberedTable(kHostTable, 27);
  ASSERT_EQ(NP_Initialize(&good.funcs), NPERR_NO_ERROR);
  const NPNetscapeFuncs before = g_hostFuncs;

  nphost::HostFunctionTable bad = NumberedTable(GetParam().size, GetParam().version);
  bad.funcs.evaluate = nullptr;
  EXPECT_EQ(NP_Initialize(&bad.funcs), GetParam().expected);
  EXPECT_EQ(std::memcmp(&g_hostFuncs, &before, sizeof before), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InitializeRefusal,
    ::testing::Values(InitializeCase{"NewerMajorVersion", 0x0100, kHostTable, NPERR_INCOMPATIBLE_VERSION_ERROR},
                      InitializeCase{"VersionTestedBeforeSize", 0x0100, 16, NPERR_INCOMPATIBLE_VERSION_ERROR},
                      InitializeCase{"OneByteShort", 0x001B, kHostTable - 1, NPERR_INVALID_FUNCTABLE_ERROR},
                      InitializeCase{"SetExceptionOnly", 0x001D, kHostTableThroughSetException,
                                     NPERR_INVALID_FUNCTABLE_ERROR}),
    [](const ::testing::TestParamInfo<InitializeCase>& tested) { return tested.param.name; });

TEST_F(Initialize, NullTableIsRefused) { EXPECT_EQ(NP_Initialize(nullptr), NPERR_INVALID_FUNCTABLE_ERROR); }

TEST_F(Initialize, CopiesUpToSetExceptionWithoutTheJavaEntries) {
  for (std::uint16_t size : {kHostTable, kNetscapeFuncsWithAsyncSurface}) {
    nphost::HostFunctionTable host = NumberedTable(size, 0x001B);
    ASSERT_EQ(NP_Initialize(&host.funcs), NPERR_NO_ERROR);
    EXPECT_EQ(g_hostFuncs.size, size);
    EXPECT_EQ(g_hostFuncs.version, 0x001B);
    EXPECT_EQ(g_hostFuncs.geturl, host.funcs.geturl);
    EXPECT_EQ(g_hostFuncs.reloadplugins, host.funcs.reloadplugins);
    EXPECT_EQ(g_hostFuncs.getJavaEnv, nullptr);
    EXPECT_EQ(g_hostFuncs.getJavaPeer, nullptr);
    EXPECT_EQ(g_hostFuncs.geturlnotify, host.funcs.geturlnotify);
    EXPECT_EQ(g_hostFuncs.getvalue, host.funcs.getvalue);
    EXPECT_EQ(g_hostFuncs.evaluate, host.funcs.evaluate);
    EXPECT_EQ(g_hostFuncs.releasevariantvalue, host.funcs.releasevariantvalue);
    EXPECT_EQ(g_hostFuncs.setexception, host.funcs.setexception);
    EXPECT_EQ(g_hostFuncs.pushpopupsenabledstate, nullptr);
    EXPECT_EQ(g_hostFuncs.pluginthreadasynccall, nullptr);
    EXPECT_EQ(g_hostFuncs.urlredirectresponse, nullptr);
  }
}

TEST_F(Initialize, ShutdownChangesNothing) {
  nphost::HostFunctionTable host = NumberedTable(kHostTable, 29);
  ASSERT_EQ(NP_Initialize(&host.funcs), NPERR_NO_ERROR);
  const NPNetscapeFuncs before = g_hostFuncs;
  EXPECT_EQ(NP_Shutdown(), NPERR_NO_ERROR);
  EXPECT_EQ(std::memcmp(&g_hostFuncs, &before, sizeof before), 0);
}

// The table functions that do no work, with a null and with a valid instance.
TEST(TableFunctions, AnswersForNullAndValidInstances) {
  NPP_t valid{nullptr, nullptr};
  std::uint16_t streamType = 0x1234;
  char data[4] = {};
  struct Case {
    const char* name;
    long long forNull;
    long long forValid;
    long long (*call)(NPP, std::uint16_t*, char*);
  };
  const Case cases[] = {
      {"NPP_NewStream", NPERR_INVALID_INSTANCE_ERROR, NPERR_NO_ERROR,
       [](NPP npp, std::uint16_t* type, char*) -> long long { return NPP_NewStream(npp, nullptr, nullptr, 0, type); }},
      {"NPP_DestroyStream", NPERR_INVALID_INSTANCE_ERROR, NPERR_NO_ERROR,
       [](NPP npp, std::uint16_t*, char*) -> long long { return NPP_DestroyStream(npp, nullptr, NPRES_DONE); }},
      {"NPP_WriteReady", 2, 268435455,
       [](NPP npp, std::uint16_t*, char*) -> long long { return NPP_WriteReady(npp, nullptr); }},
      {"NPP_Write", 2, 1000,
       [](NPP npp, std::uint16_t*, char* bytes) -> long long { return NPP_Write(npp, nullptr, 0, 1000, bytes); }},
      {"NPP_HandleEvent", 0, 0,
       [](NPP npp, std::uint16_t*, char*) -> long long {
         NPEvent event{WM_PAINT, 0, 0};
         return NPP_HandleEvent(npp, &event);
       }},
      {"NPP_SetValue", NPERR_INVALID_INSTANCE_ERROR, NPERR_NO_ERROR,
       [](NPP npp, std::uint16_t*, char*) -> long long { return NPP_SetValue(npp, NPNVprivateModeBool, nullptr); }},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.call(nullptr, &streamType, data), c.forNull) << c.name << " with a null instance";
    EXPECT_EQ(c.call(&valid, &streamType, data), c.forValid) << c.name << " with a valid instance";
  }
  EXPECT_EQ(streamType, 0x1234) << "the stream type is the browser's";
  NPP_StreamAsFile(nullptr, nullptr, "x");
  NPP_Print(nullptr, nullptr);
  NPP_URLNotify(nullptr, "u", NPRES_DONE, nullptr);
}

TEST(GetValue, NullInstanceAndMissingRecord) {
  const char* untouched = "untouched";
  for (NPPVariable variable :
       {NPPVpluginNameString, NPPVpluginDescriptionString, NPPVpluginScriptableNPObject, NPPVpluginNeedsXEmbed}) {
    const char* value = untouched;
    EXPECT_EQ(NPP_GetValue(nullptr, variable, &value), NPERR_INVALID_INSTANCE_ERROR) << variable;
    NPP_t withoutRecord{nullptr, nullptr};
    EXPECT_EQ(NPP_GetValue(&withoutRecord, variable, &value), NPERR_GENERIC_ERROR) << variable;
    EXPECT_EQ(value, untouched);
  }
}

TEST(GetValue, NameDescriptionAndUnknownVariables) {
  NPP_t npp{nullptr, nullptr};
  CPluginInstance record(&npp);
  npp.pdata = &record;

  const char* text = nullptr;
  EXPECT_EQ(NPP_GetValue(&npp, NPPVpluginNameString, &text), NPERR_NO_ERROR);
  EXPECT_STREQ(text, "npTARVX");
  EXPECT_EQ(NPP_GetValue(&npp, NPPVpluginDescriptionString, &text), NPERR_NO_ERROR);
  EXPECT_STREQ(text, "TarvoUsbICReader plugin");

  for (int variable : std::initializer_list<int>{NPPVpluginNeedsXEmbed, NPPVpluginWindowBool, NPPVformValue,
                                                 NPPVpluginWantsAllNetworkStreams, NPPVpluginDrawingModel, 4001}) {
    unsigned char bytes[8];
    std::memset(bytes, kUntouched, sizeof bytes);
    EXPECT_EQ(NPP_GetValue(&npp, static_cast<NPPVariable>(variable), bytes), NPERR_GENERIC_ERROR) << variable;
    for (unsigned char byte : bytes) EXPECT_EQ(byte, kUntouched) << variable;
  }
  // No place for the answer: refused, nothing created.
  EXPECT_EQ(NPP_GetValue(&npp, NPPVpluginScriptableNPObject, nullptr), NPERR_GENERIC_ERROR);
  EXPECT_EQ(record.scriptableObject, nullptr);
}

TEST(NewInstance, NullInstanceIsRefusedAndNullArgumentsAreAccepted) {
  EXPECT_EQ(NPP_New(nullptr, nullptr, NP_EMBED, 0, nullptr, nullptr, nullptr), NPERR_INVALID_INSTANCE_ERROR);

  // Firefox's "PARAM" separator has a null value; argc may leave it out.
  char type[] = "type";
  char param[] = "PARAM";
  char mime[] = "application/TarvoUsbICReader-plugin";
  char* names[] = {type, param, nullptr};
  char* values[] = {mime, nullptr, nullptr};
  NPP_t npp{nullptr, nullptr};
  ASSERT_EQ(NPP_New(mime, &npp, NP_EMBED, 2, names, values, nullptr), NPERR_NO_ERROR);
  ASSERT_NE(npp.pdata, nullptr);
  const CPluginInstance& record = *static_cast<CPluginInstance*>(npp.pdata);
  EXPECT_EQ(record.npp, &npp);
  EXPECT_EQ(record.hwnd, nullptr);
  EXPECT_EQ(record.previousWndProc, nullptr);
  EXPECT_FALSE(record.initialized);
  EXPECT_EQ(record.scriptableObject, nullptr);
  EXPECT_EQ(record.readerManager, nullptr);
  EXPECT_EQ(NPP_Destroy(&npp, nullptr), NPERR_NO_ERROR);
  EXPECT_EQ(npp.pdata, nullptr);
}

}  // namespace
