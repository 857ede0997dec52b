// The browser host's own rules, which the plug-in's tests rely on: what counts as a page
// call, browser-side reference counting, the tables it offers and checks.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "tools/host/Browser.h"

namespace {

TEST(PageCall, OnlyAnExactCallWithAnIntegerIsUnderstood) {
  struct Case {
    const char* script;
    bool understood;
    const char* function;
    long long argument;
  };
  const Case cases[] = {
      {"CardReaded(2587647617);", true, "CardReaded", 2587647617LL},
      {"DeviceChanged(0);", true, "DeviceChanged", 0},
      {"DeviceChanged(-1);", true, "DeviceChanged", -1},
      {"CardReaded( 1);", false, "", 0},
      {"CardReaded(1)", false, "", 0},
      {"CardReaded(\"1\");", false, "", 0},
      {"CardReaded(1); ", false, "", 0},
      {"CardReaded();", false, "", 0},
      {"1x(2);", false, "", 0},
      {"", false, "", 0},
  };
  for (const Case& c : cases) {
    nphost::PageCall call;
    EXPECT_EQ(nphost::ParsePageCall(c.script, call), c.understood) << c.script;
    if (c.understood) {
      EXPECT_EQ(call.function, c.function) << c.script;
      EXPECT_EQ(call.argument, c.argument) << c.script;
    }
  }
}

// A class whose functions note what the registry did to its objects.
struct Trace {
  int allocations = 0;
  int invalidations = 0;
  int deallocations = 0;
};
Trace g_trace;

NPObject* NP_CDECL TraceAllocate(NPP, NPClass*) {
  ++g_trace.allocations;
  auto* object = new NPObject;
  object->_class = nullptr;
  object->referenceCount = 42;  // the browser's to overwrite
  return object;
}
void NP_CDECL TraceDeallocate(NPObject* object) {
  ++g_trace.deallocations;
  delete object;
}
void NP_CDECL TraceInvalidate(NPObject*) { ++g_trace.invalidations; }

NPClass TraceClass() {
  NPClass traced{};
  traced.structVersion = NP_CLASS_STRUCT_VERSION;
  traced.allocate = TraceAllocate;
  traced.deallocate = TraceDeallocate;
  traced.invalidate = TraceInvalidate;
  return traced;
}

TEST(ObjectRegistry, CountsReferencesAndDeallocatesAtZero) {
  g_trace = Trace{};
  NPClass traced = TraceClass();
  NPP_t owner{};
  nphost::ObjectRegistry registry;
  NPObject* object = registry.Create(&owner, &traced);
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(object->_class, &traced);
  EXPECT_EQ(object->referenceCount, 1u);
  EXPECT_EQ(registry.Retain(object), object);
  registry.Release(object);
  EXPECT_TRUE(registry.IsAlive(object));
  registry.Release(object);
  EXPECT_FALSE(registry.IsAlive(object));
  EXPECT_EQ(g_trace.deallocations, 1);
  registry.Release(object);  // already gone: counted, not touched
  EXPECT_EQ(registry.Counts().releasesOfUnknownObjects, 1);
  EXPECT_EQ(registry.Create(nullptr, &traced), nullptr);
}

TEST(ObjectRegistry, TeardownInvalidatesThenDeallocatesOnlyTheInstancesObjects) {
  g_trace = Trace{};
  NPClass traced = TraceClass();
  NPP_t mine{};
  NPP_t other{};
  nphost::ObjectRegistry registry;
  NPObject* a = registry.Create(&mine, &traced);
  registry.Retain(a);
  registry.Create(&mine, &traced);
  NPObject* kept = registry.Create(&other, &traced);
  registry.DeallocateAllOf(&mine);
  EXPECT_EQ(g_trace.invalidations, 2);
  EXPECT_EQ(g_trace.deallocations, 2);
  EXPECT_TRUE(registry.IsAlive(kept));
  registry.Release(kept);
  EXPECT_EQ(registry.LiveObjects(), 0);
}

TEST(HostTable, ProfilesSetSizeVersionAndEmptySlots) {
  const nphost::HostFunctionTable firefox = nphost::MakeHostFunctionTable(nphost::LateFirefox());
  EXPECT_EQ(firefox.funcs.size, kNetscapeFuncsWithAsyncSurface);  // 236 bytes on 32-bit
  EXPECT_EQ(firefox.funcs.version, 29);
  EXPECT_EQ(firefox.funcs.pluginthreadasynccall, nullptr);
  EXPECT_EQ(firefox.funcs.newstream, nullptr);
  EXPECT_EQ(firefox.funcs.handleevent, nullptr);
  EXPECT_NE(firefox.funcs.evaluate, nullptr);
  EXPECT_NE(firefox.setcurrentasyncsurface, nullptr);

  const nphost::HostFunctionTable chromium = nphost::MakeHostFunctionTable(nphost::Chromium());
  EXPECT_EQ(chromium.funcs.size, kNetscapeFuncsThroughRedirectResponse);  // 224 bytes on 32-bit
  EXPECT_NE(chromium.funcs.pluginthreadasynccall, nullptr);
  // Every slot of Chromium's table is filled.
  const auto* words = reinterpret_cast<const std::uintptr_t*>(&chromium.funcs);
  for (std::size_t i = 1; i < sizeof chromium.funcs / sizeof *words; ++i) EXPECT_NE(words[i], 0u) << "slot " << i;
}

// A plug-in that fills its whole table whatever size the browser announced.
NPError NP_EXPORT_CALL OverwritingGetEntryPoints(NPPluginFuncs* funcs) {
  constexpr std::size_t kFirst = offsetof(NPPluginFuncs, newp);
  std::memset(reinterpret_cast<unsigned char*>(funcs) + kFirst, 0x11, sizeof(NPPluginFuncs) - kFirst);
  return NPERR_NO_ERROR;
}
NPError NP_EXPORT_CALL AcceptingInitialize(NPNetscapeFuncs*) { return NPERR_NO_ERROR; }
NPError NP_EXPORT_CALL AcceptingShutdown() { return NPERR_NO_ERROR; }

TEST(Loading, WritesPastTheAnnouncedPluginTableAreSeen) {
  for (std::uint16_t size : {kPluginFuncsThroughSitesWithData, static_cast<std::uint16_t>(sizeof(NPPluginFuncs))}) {
    nphost::BrowserProfile profile = nphost::Chromium();
    profile.pluginTableSize = size;
    nphost::Browser browser(profile);
    ASSERT_EQ(browser.Load(nphost::PluginLibrary::Linked(
                  {OverwritingGetEntryPoints, AcceptingInitialize, AcceptingShutdown}, "application/x-test")),
              NPERR_NO_ERROR);
    EXPECT_EQ(browser.PluginTableOverrun(), size < sizeof(NPPluginFuncs)) << size;
  }
}

}  // namespace
