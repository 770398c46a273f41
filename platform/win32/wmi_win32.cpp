// COM and WMI on real Windows. Each opaque handle owns one reference to the
// COM interface behind it; WmiRelease drops that reference and the handle.
#include <new>
#include <string>
#include <utility>

#include "platform/platform.h"
#include "platform/win32/win32_holders.h"
#include "platform/win32/windows_min.h"

#include <objbase.h>
#include <wbemidl.h>

namespace platform {

struct WmiLocator {
  win32::ComHolder<IWbemLocator> m_Locator;
};
struct WmiServices {
  win32::ComHolder<IWbemServices> m_Services;
};
struct WmiEnumerator {
  win32::ComHolder<IEnumWbemClassObject> m_Enum;
};
struct WmiObject {
  win32::ComHolder<IWbemClassObject> m_Object;
};

namespace {

static_assert(sizeof(HRESULT) == sizeof(HResult), "HRESULTs pass through unchanged");

// What a call given a null handle answers: WBEM_E_INVALID_PARAMETER, spelt
// out because mingw-w64 declares it an enumerator too large for HRESULT.
constexpr HRESULT kNoHandle = static_cast<HRESULT>(0x80041008u);

// Wraps a freshly obtained interface in a new handle. When the handle cannot
// be allocated the interface stays in `source`, which releases it.
template <class Handle, class I>
HRESULT HandOut(win32::ComHolder<I>& source, Handle** ppHandle) {
  Handle* pHandle = new (std::nothrow) Handle{std::move(source)};
  if (pHandle == nullptr) return E_OUTOFMEMORY;
  *ppHandle = pHandle;
  return S_OK;
}

}  // namespace

void ComUninitialize() { CoUninitialize(); }

// S_FALSE when this thread already has COM; RPC_E_CHANGED_MODE when it has
// an apartment of the other kind.
HResult ComInitialize() { return CoInitializeEx(nullptr, COINIT_MULTITHREADED); }

HResult ComInitializeSecurity() {
  // Once per process: any later call answers RPC_E_TOO_LATE.
  return CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                              RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
}

HResult WmiCreateLocator(WmiLocator** ppLocator) {
  *ppLocator = nullptr;
  win32::ComHolder<IWbemLocator> locator;
  const HRESULT hr = CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_SERVER, IID_IWbemLocator,
                                      reinterpret_cast<void**>(locator.Put()));
  if (FAILED(hr)) return hr;
  const HRESULT hrHand = HandOut(locator, ppLocator);
  return FAILED(hrHand) ? hrHand : hr;
}

HResult WmiConnectServer(WmiLocator* pLocator, const std::wstring& szNamespace,
                         WmiServices** ppServices) {
  *ppServices = nullptr;
  if (pLocator == nullptr) return kNoHandle;
  const win32::BstrHolder bstrNamespace(szNamespace);
  if (bstrNamespace.m_Bstr == nullptr) return E_OUTOFMEMORY;
  win32::ComHolder<IWbemServices> services;
  const HRESULT hr = pLocator->m_Locator.m_p->ConnectServer(
      bstrNamespace.m_Bstr, nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.Put());
  if (FAILED(hr)) return hr;
  const HRESULT hrHand = HandOut(services, ppServices);
  return FAILED(hrHand) ? hrHand : hr;
}

HResult WmiSetProxyBlanket(WmiServices* pServices) {
  if (pServices == nullptr) return kNoHandle;
  return CoSetProxyBlanket(pServices->m_Services.m_p, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE,
                           nullptr, RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                           EOAC_NONE);
}

HResult WmiExecQuery(WmiServices* pServices, const std::wstring& szLanguage,
                     const std::wstring& szQuery, WmiEnumerator** ppEnum) {
  *ppEnum = nullptr;
  if (pServices == nullptr) return kNoHandle;
  const win32::BstrHolder bstrLanguage(szLanguage);
  const win32::BstrHolder bstrQuery(szQuery);
  if (bstrLanguage.m_Bstr == nullptr || bstrQuery.m_Bstr == nullptr) return E_OUTOFMEMORY;
  win32::ComHolder<IEnumWbemClassObject> enumerator;
  const HRESULT hr = pServices->m_Services.m_p->ExecQuery(
      bstrLanguage.m_Bstr, bstrQuery.m_Bstr, 0, nullptr, enumerator.Put());
  if (FAILED(hr)) return hr;
  const HRESULT hrHand = HandOut(enumerator, ppEnum);
  return FAILED(hrHand) ? hrHand : hr;
}

HResult WmiNext(WmiEnumerator* pEnum, std::int32_t nTimeoutMs, WmiObject** ppObject,
                std::uint32_t* pReturned) {
  *ppObject = nullptr;
  *pReturned = 0;
  if (pEnum == nullptr) return kNoHandle;
  win32::ComHolder<IWbemClassObject> object;
  ULONG nReturned = 0;
  const HRESULT hr = pEnum->m_Enum.m_p->Next(nTimeoutMs, 1, object.Put(), &nReturned);
  // WBEM_S_FALSE and WBEM_S_TIMEDOUT may come with no object; only a delivered
  // one is handed out.
  if (nReturned == 0 || object.m_p == nullptr) return hr;
  const HRESULT hrHand = HandOut(object, ppObject);
  if (FAILED(hrHand)) return hrHand;
  *pReturned = 1;
  return hr;
}

void WmiRelease(WmiLocator* p) { delete p; }
void WmiRelease(WmiServices* p) { delete p; }
void WmiRelease(WmiEnumerator* p) { delete p; }
void WmiRelease(WmiObject* p) { delete p; }

WmiValue WmiGet(WmiObject* pObject, const std::wstring& szName) {
  WmiValue value;
  win32::VariantHolder var;
  // A property the object lacks fails and leaves the VARIANT VT_EMPTY, which
  // converts to an empty text below; the result is not looked at.
  if (pObject != nullptr) {
    pObject->m_Object.m_p->Get(szName.c_str(), 0, &var.m_Var, nullptr, nullptr);
  }
  value.m_VarType = var.m_Var.vt;
  if (var.m_Var.vt == VT_BSTR) {
    value.m_HasText = true;
    if (var.m_Var.bstrVal != nullptr) {
      value.m_Text.assign(var.m_Var.bstrVal, SysStringLen(var.m_Var.bstrVal));
    }
    return value;
  }
  win32::VariantHolder converted;
  // VT_NULL and arrays do not convert (DISP_E_TYPEMISMATCH): no text.
  if (FAILED(VariantChangeType(&converted.m_Var, &var.m_Var, 0, VT_BSTR))) return value;
  value.m_HasText = true;
  if (converted.m_Var.bstrVal != nullptr) {
    value.m_Text.assign(converted.m_Var.bstrVal, SysStringLen(converted.m_Var.bstrVal));
  }
  return value;
}

}  // namespace platform
