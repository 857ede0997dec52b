#include "tools/host/HostedInstance.h"

#include "tools/host/Browser.h"

namespace nphost {
namespace {

constexpr char kElementClass[] = "nphostElement";
constexpr char kInstanceProperty[] = "nphost.instance";

void RegisterElementClass(WNDPROC procedure) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszClassName = kElementClass;
  RegisterClassA(&windowClass);  // already registered by an earlier page: fine
}

}  // namespace

HostedInstance::HostedInstance(Browser& browser, HWND page, int x, int y, int width, int height)
    : m_browser(browser),
      m_window(nullptr),
      m_npp{nullptr, this},
      m_x(x),
      m_y(y),
      m_width(width),
      m_height(height),
      m_destroyed(false),
      m_hostProcedureAppMessages(0) {
  RegisterElementClass(&HostedInstance::ElementWindowProc);
  m_window = CreateWindowExA(0, kElementClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, x, y, width, height, page,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
  if (m_window != nullptr) SetPropA(m_window, kInstanceProperty, this);
}

HostedInstance::~HostedInstance() {
  if (m_window != nullptr) {
    RemovePropA(m_window, kInstanceProperty);
    DestroyWindow(m_window);
  }
}

WNDPROC HostedInstance::HostWindowProcedure() { return &HostedInstance::ElementWindowProc; }

LRESULT CALLBACK HostedInstance::ElementWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= WM_APP && message <= 0xBFFF) {
    if (auto* instance = static_cast<HostedInstance*>(GetPropA(window, kInstanceProperty))) {
      ++instance->m_hostProcedureAppMessages;
    }
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

NPError HostedInstance::New(const std::string& mimeType, const Attributes& attributes) {
  const NPPluginFuncs& funcs = m_browser.PluginFuncs();
  if (funcs.newp == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
  m_names.clear();
  m_values.clear();
  for (const auto& attribute : attributes) {
    m_names.push_back(attribute.first);
    m_values.push_back(attribute.second);
  }
  // Arrays of pointers into the strings above, with a null slot at index argc as
  // plugin-container passes them.
  std::vector<char*> names;
  std::vector<char*> values;
  for (std::size_t i = 0; i < m_names.size(); ++i) {
    names.push_back(&m_names[i][0]);
    values.push_back(&m_values[i][0]);
  }
  names.push_back(nullptr);
  values.push_back(nullptr);
  std::string type = mimeType;
  return funcs.newp(&type[0], &m_npp, NP_EMBED, static_cast<std::int16_t>(m_names.size()), names.data(), values.data(),
                    nullptr);
}

NPWindow HostedInstance::WindowRecord(HWND window) const {
  NPWindow record{};
  record.window = window;
  record.x = m_x;
  record.y = m_y;
  record.width = static_cast<std::uint32_t>(m_width);
  record.height = static_cast<std::uint32_t>(m_height);
  record.clipRect = NPRect{0, 0, static_cast<std::uint16_t>(m_height), static_cast<std::uint16_t>(m_width)};
  record.type = NPWindowTypeWindow;
  return record;
}

NPError HostedInstance::SetWindow() { return SetWindow(m_window); }

NPError HostedInstance::SetWindow(HWND window) {
  const NPPluginFuncs& funcs = m_browser.PluginFuncs();
  if (funcs.setwindow == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
  NPWindow record = WindowRecord(window);
  return funcs.setwindow(&m_npp, &record);
}

NPError HostedInstance::SetNullWindowRecord() {
  const NPPluginFuncs& funcs = m_browser.PluginFuncs();
  if (funcs.setwindow == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
  return funcs.setwindow(&m_npp, nullptr);
}

NPError HostedInstance::GetValue(NPPVariable variable, void* value) {
  const NPPluginFuncs& funcs = m_browser.PluginFuncs();
  if (funcs.getvalue == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
  return funcs.getvalue(&m_npp, variable, value);
}

NPError HostedInstance::Destroy() {
  const BrowserProfile& profile = m_browser.Profile();
  const NPPluginFuncs& funcs = m_browser.PluginFuncs();
  if (funcs.destroy == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
  if (profile.nullWindowBeforeDestroy) SetWindow(nullptr);
  NPSavedData* saved = nullptr;
  const NPError result = funcs.destroy(&m_npp, profile.nullSaveAtDestroy ? nullptr : &saved);
  if (profile.deallocateObjectsAtDestroy) m_browser.Objects().DeallocateAllOf(&m_npp);
  m_destroyed = true;
  return result;
}

void HostedInstance::Resize(int width, int height) {
  m_width = width;
  m_height = height;
  SetWindowPos(m_window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

Pixels HostedInstance::Capture() {
  RedrawWindow(m_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  return CaptureClientArea(m_window);
}

}  // namespace nphost
