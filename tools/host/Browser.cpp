#include "tools/host/Browser.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "tools/host/DeviceNotifications.h"

namespace nphost {
namespace {

Browser* g_active = nullptr;

constexpr char kPageClass[] = "nphostPage";
constexpr unsigned char kGuardByte = 0xA5;
constexpr int kElementSpacing = 10;

// The page window is made once per process and kept: hiding or destroying a visible
// top-level window costs Wine two seconds without a window manager, and a page that is
// not visible has no pixels to read back.
HWND SharedPageWindow() {
  static const HWND page = [] {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    windowClass.lpszClassName = kPageClass;
    RegisterClassA(&windowClass);
    return CreateWindowExA(WS_EX_TOOLWINDOW, kPageClass, "nphost page", WS_POPUP | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0,
                           640, 480, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  }();
  return page;
}

template <typename Value>
void Store(void* destination, Value value) {
  std::memcpy(destination, &value, sizeof value);
}

}  // namespace

Browser::Browser(BrowserProfile profile)
    : m_profile(std::move(profile)),
      m_thread(GetCurrentThreadId()),
      m_page(SharedPageWindow()),
      m_hostTable(MakeHostFunctionTable(m_profile)),
      m_initialized(false),
      m_shutDown(false),
      m_pluginTableBytes{},
      m_pluginFuncs{},
      m_lastNewResult(NPERR_NO_ERROR),
      m_lastSetWindowResult(NPERR_NO_ERROR),
      m_windowClass{},
      m_pageNpp{nullptr, nullptr},
      m_windowObject(nullptr),
      m_windowObjectAvailable(true) {
  g_active = this;
  m_windowClass.structVersion = NP_CLASS_STRUCT_VERSION;
  m_windowObject = m_objects.Create(&m_pageNpp, &m_windowClass);
}

Browser::~Browser() {
  for (HostedInstance* instance : LiveInstances()) instance->Destroy();
  m_instances.clear();
  Unload();
  m_objects.Release(m_windowObject);
  g_active = nullptr;
}

Browser* Browser::Active() { return g_active; }

NPError Browser::Load(PluginLibrary library) {
  m_library = std::make_unique<PluginLibrary>(std::move(library));
  // Zero-filled up to the size the browser announces; guard bytes behind it.
  std::memset(m_pluginTableBytes, kGuardByte, sizeof m_pluginTableBytes);
  const std::size_t size = std::min<std::size_t>(m_profile.pluginTableSize, sizeof(NPPluginFuncs));
  std::memset(m_pluginTableBytes, 0, size);
  auto* table = reinterpret_cast<NPPluginFuncs*>(m_pluginTableBytes);
  table->size = m_profile.pluginTableSize;
  table->version = m_profile.pluginTableVersion;

  const PluginEntryPoints& entryPoints = m_library->EntryPoints();
  const NPError entryResult = entryPoints.getEntryPoints(table);
  m_pluginFuncs = NPPluginFuncs{};
  std::memcpy(&m_pluginFuncs, m_pluginTableBytes, size);
  if (entryResult != NPERR_NO_ERROR) return entryResult;

  const NPError initResult = entryPoints.initialize(&m_hostTable.funcs);
  m_initialized = initResult == NPERR_NO_ERROR;
  m_shutDown = false;
  return initResult;
}

bool Browser::PluginTableOverrun() const {
  const std::size_t size = std::min<std::size_t>(m_profile.pluginTableSize, sizeof(NPPluginFuncs));
  return std::any_of(m_pluginTableBytes + size, std::end(m_pluginTableBytes),
                     [](unsigned char byte) { return byte != kGuardByte; });
}

NPError Browser::Shutdown() {
  if (!m_initialized || m_shutDown || m_library == nullptr) return NPERR_NO_ERROR;
  m_shutDown = true;
  return m_library->EntryPoints().shutdown();
}

void Browser::Unload() {
  Shutdown();
  m_pluginFuncs = NPPluginFuncs{};
  m_initialized = false;
  if (m_library != nullptr) m_library->Unload();
}

HostedInstance& Browser::Embed(const EmbedOptions& options) {
  int x = kElementSpacing;
  for (const auto& instance : m_instances) {
    RECT bounds{};
    GetWindowRect(instance->Window(), &bounds);
    x += (bounds.right - bounds.left) + kElementSpacing;
  }
  m_instances.push_back(
      std::make_unique<HostedInstance>(*this, m_page, x, kElementSpacing, options.width, options.height));
  HostedInstance& instance = *m_instances.back();

  const std::string mimeType = m_library != nullptr ? m_library->MimeType() : std::string();
  Attributes attributes = options.attributes;
  for (auto& attribute : attributes) {
    if (attribute.first == "type" && attribute.second.empty()) attribute.second = mimeType;
  }
  m_lastNewResult = instance.New(mimeType, attributes);
  m_lastSetWindowResult = NPERR_NO_ERROR;
  if (options.setWindow && m_lastNewResult == NPERR_NO_ERROR) m_lastSetWindowResult = instance.SetWindow();
  return instance;
}

void Browser::Remove(HostedInstance& instance) {
  if (!instance.IsDestroyed()) return;
  m_instances.erase(
      std::remove_if(m_instances.begin(), m_instances.end(),
                     [&](const std::unique_ptr<HostedInstance>& held) { return held.get() == &instance; }),
      m_instances.end());
}

HostedInstance* Browser::Find(NPP npp) const {
  if (npp == nullptr) return nullptr;
  for (const auto& instance : m_instances) {
    if (instance->Npp() == npp) return instance.get();
  }
  return nullptr;
}

std::vector<HostedInstance*> Browser::LiveInstances() const {
  std::vector<HostedInstance*> live;
  for (const auto& instance : m_instances) {
    if (!instance->IsDestroyed()) live.push_back(instance.get());
  }
  return live;
}

std::uint32_t Browser::WindowObjectReferencesHeldByPlugin() const {
  const std::uint32_t count = m_objects.ReferenceCount(m_windowObject);
  return count == 0 ? 0 : count - 1;  // one is the page's own
}

void Browser::SendDeviceInterfaceChange(WPARAM event, const std::string& path) {
  for (HostedInstance* instance : LiveInstances()) nphost::SendDeviceInterfaceChange(instance->Window(), event, path);
}

void Browser::SendDeviceChange(WPARAM event, DWORD deviceType) {
  for (HostedInstance* instance : LiveInstances()) nphost::SendDeviceChange(instance->Window(), event, deviceType);
}

void Browser::NoteCall(const char* slot) {
  ++m_calls.bySlot[slot];
  if (GetCurrentThreadId() != m_thread) ++m_calls.fromOtherThreads;
}

NPError Browser::GetValue(NPP npp, NPNVariable variable, void* value) {
  if (value == nullptr || (npp != nullptr && Find(npp) == nullptr)) return NPERR_INVALID_PARAM;
  switch (variable) {
    case NPNVWindowNPObject:
      if (!m_windowObjectAvailable) return NPERR_GENERIC_ERROR;
      Store(value, m_objects.Retain(m_windowObject));
      return NPERR_NO_ERROR;
    case NPNVnetscapeWindow:
      Store(value, m_page);
      return NPERR_NO_ERROR;
    case NPNVjavascriptEnabledBool:
    case NPNVSupportsWindowless:
      Store(value, NPBool{1});
      return NPERR_NO_ERROR;
    case NPNVisOfflineBool:
    case NPNVprivateModeBool:
    case NPNVasdEnabledBool:
    case NPNVSupportsXEmbedBool:
      Store(value, NPBool{0});
      return NPERR_NO_ERROR;
    default:
      return NPERR_GENERIC_ERROR;
  }
}

bool Browser::Evaluate(NPP npp, NPObject* scope, NPString* script, NPVariant* result) {
  const NPVariantType typeOnEntry = result != nullptr ? result->type : NPVariantType_Void;
  if (result != nullptr && m_profile.evaluateVoidsResultFirst) SetVoidVariant(*result);
  HostedInstance* instance = Find(npp);
  if (instance == nullptr || instance->IsDestroyed() || scope != m_windowObject || script == nullptr ||
      result == nullptr || !m_objects.IsAlive(scope)) {
    return false;
  }
  const std::string text =
      script->UTF8Characters != nullptr ? std::string(script->UTF8Characters, script->UTF8Length) : std::string();
  if (!m_pageScript.Run(*instance, text, typeOnEntry)) return false;
  SetVoidVariant(*result);  // the statement's completion value is undefined
  return true;
}

void Browser::ReleaseVariantValue(NPVariant* variant) {
  if (variant == nullptr) return;
  ++m_calls.variantsReleased;
  switch (variant->type) {
    case NPVariantType_Void:
    case NPVariantType_Null:
    case NPVariantType_Bool:
    case NPVariantType_Int32:
    case NPVariantType_Double:
      break;
    case NPVariantType_String:
      MemFree(const_cast<NPUTF8*>(variant->value.stringValue.UTF8Characters));
      break;
    case NPVariantType_Object:
      m_objects.Release(variant->value.objectValue);
      break;
    default:
      ++m_calls.variantsReleasedWithBadType;
      return;
  }
  SetVoidVariant(*variant);
}

void* Browser::MemAlloc(std::uint32_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block != nullptr) ++m_calls.memoryBlocksOutstanding;
  return block;
}

void Browser::MemFree(void* block) {
  if (block == nullptr) return;
  --m_calls.memoryBlocksOutstanding;
  std::free(block);
}

}  // namespace nphost
