#include "testserver/event_source.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <utility>

#include "testserver/dispatch_call.h"
#include "testserver/sample_server.h"

namespace {

namespace se = sample_events;

struct EventMember {
  const char* name;
  DISPID dispid;
  WORD kinds;
};

const EventMember kMembers[] = {
    {"FireNoArgs", se::kFireNoArgs, DISPATCH_METHOD},
    {"FireTyped", se::kFireTyped, DISPATCH_METHOD},
    {"FireNamed", se::kFireNamed, DISPATCH_METHOD},
    {"FireFlags", se::kFireFlags, DISPATCH_METHOD},
    {"FireForResult", se::kFireForResult, DISPATCH_METHOD},
    {"AskNames", se::kAskNames, DISPATCH_METHOD},
    {"FireFromNativeThread", se::kFireFromNativeThread, DISPATCH_METHOD},
    {"FailAdvise", se::kFailAdvise, DISPATCH_METHOD},
    {"SinkReferences", se::kSinkReferences, DISPATCH_PROPERTYGET},
    {"FireMany", se::kFireMany, DISPATCH_METHOD},
    {"LastHResult", se::kLastHResult, DISPATCH_PROPERTYGET},
};

const EventMember* member_of(DISPID id) {
  for (const EventMember& member : kMembers) {
    if (member.dispid == id) return &member;
  }
  return nullptr;
}

// Argument i in the caller's order, or null.
VARIANT* argument(DISPPARAMS* params, UINT i) {
  return i < params->cArgs ? &params->rgvarg[params->cArgs - 1 - i] : nullptr;
}

bool int_argument(DISPPARAMS* params, UINT i, LONG* out) {
  VARIANT* v = argument(params, i);
  if (v == nullptr) return false;
  if (v->vt == VT_I4) {
    *out = v->lVal;
    return true;
  }
  if (v->vt == VT_I2) {
    *out = v->iVal;
    return true;
  }
  return false;
}

HRESULT set_int_result(VARIANT* result, LONG value) {
  if (result != nullptr) {
    VariantInit(result);
    result->vt = VT_I4;
    result->lVal = value;
  }
  return S_OK;
}

HRESULT set_text_result(VARIANT* result, const std::string& text) {
  if (result == nullptr) return S_OK;
  std::basic_string<OLECHAR> wide(text.begin(), text.end());
  BSTR bstr = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  if (bstr == nullptr) return E_OUTOFMEMORY;
  VariantInit(result);
  result->vt = VT_BSTR;
  result->bstrVal = bstr;
  return S_OK;
}

std::string hex(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(hr));
  return text;
}

BSTR make_bstr(const char* text) {
  std::basic_string<OLECHAR> wide(text, text + std::strlen(text));
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

}  // namespace

EventSource::~EventSource() {
  for (IDispatch*& sink : sinks_) {
    if (sink != nullptr) std::exchange(sink, nullptr)->Release();
  }
}

HRESULT EventSource::create(REFIID riid, void** out) {
  return create_sample_object<EventSource>(riid, out);
}

HRESULT EventSource::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
    *out = static_cast<IDispatch*>(this);
  } else if (IsEqualIID(riid, IID_IConnectionPointContainer)) {
    *out = static_cast<IConnectionPointContainer*>(this);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  add_ref();
  return S_OK;
}

HRESULT EventSource::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_INVALIDARG;
  *count = 0;
  return S_OK;
}

HRESULT EventSource::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info != nullptr) *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT EventSource::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (names == nullptr || ids == nullptr) return E_INVALIDARG;
  HRESULT hr = S_OK;
  for (UINT i = 0; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
    for (const EventMember& member : kMembers) {
      if (i == 0 && names[0] != nullptr && dispatch_name_matches(member.name, names[0])) {
        ids[0] = member.dispid;
      }
    }
    if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT EventSource::fire(DISPID event, WORD flags, VARIANT* args, UINT count, DISPID* named,
                          UINT named_count, VARIANT* result) {
  HRESULT hr = S_OK;
  for (IDispatch* sink : sinks_) {
    if (sink == nullptr) continue;
    DISPPARAMS params{args, named, count, named_count};
    VARIANT answer;
    VariantInit(&answer);
    // The sink may disconnect during the event: keep it alive for the call.
    sink->AddRef();
    hr = sink->Invoke(event, IID_NULL, 0, flags, &params, &answer, nullptr, nullptr);
    sink->Release();
    if (result != nullptr) {
      VariantClear(result);
      *result = answer;
    } else {
      VariantClear(&answer);
    }
  }
  last_hresult_ = hr;
  return hr;
}

HRESULT EventSource::fire_from_native_thread(VARIANT* result) {
  IDispatch* sink = sinks_[0];
  if (sink == nullptr) return E_UNEXPECTED;
  HRESULT invoke_hr = E_FAIL;
  HRESULT names_hr = E_FAIL;
  DISPID id = 0;
  sink->AddRef();
  std::thread([&] {
    DISPPARAMS params{nullptr, nullptr, 0, 0};
    VARIANT answer;
    VariantInit(&answer);
    invoke_hr = sink->Invoke(se::kFireFromNativeThread, IID_NULL, 0, DISPATCH_METHOD, &params,
                             &answer, nullptr, nullptr);
    VariantClear(&answer);
    OLECHAR name[] = {'x', 0};
    LPOLESTR names[] = {name};
    names_hr = sink->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
  }).join();
  sink->Release();
  return set_text_result(
      result, "invoke=" + hex(invoke_hr) + " names=" + hex(names_hr) + " id=" + std::to_string(id));
}

HRESULT EventSource::ask_names(DISPPARAMS* params, VARIANT* result) {
  IDispatch* sink = sinks_[0];
  if (sink == nullptr) return E_UNEXPECTED;
  const UINT count = params->cArgs;
  if (count < 1 || count > 2) return DISP_E_BADPARAMCOUNT;
  LPOLESTR names[2] = {};
  for (UINT i = 0; i < count; ++i) {
    VARIANT* v = argument(params, i);
    if (v->vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
    names[i] = v->bstrVal;
  }
  DISPID ids[2] = {12345, 12345};
  const HRESULT hr = sink->GetIDsOfNames(IID_NULL, names, count, 0, ids);
  std::string text = hex(hr) + ":" + std::to_string(ids[0]);
  if (count == 2) text += "," + std::to_string(ids[1]);
  return set_text_result(result, text);
}

HRESULT EventSource::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                            VARIANT* result, EXCEPINFO*, UINT*) {
  if (params == nullptr) return E_INVALIDARG;
  const EventMember* member = member_of(id);
  if (member == nullptr || (flags & member->kinds) == 0) return DISP_E_MEMBERNOTFOUND;
  switch (id) {
    case se::kFireNoArgs:
      return set_int_result(result, fire(id, DISPATCH_METHOD, nullptr, 0, nullptr, 0, nullptr));
    case se::kFireTyped: {
      SAFEARRAYBOUND bound{3, 0};
      SAFEARRAY* array = SafeArrayCreate(VT_I4, 1, &bound);
      BSTR text = make_bstr("text");
      if (array == nullptr || text == nullptr) {
        SafeArrayDestroy(array);
        SysFreeString(text);
        return E_OUTOFMEMORY;
      }
      for (LONG k = 0; k < 3; ++k) {
        LONG value = k + 1;
        SafeArrayPutElement(array, &k, &value);
      }
      // Storage order: the last argument first.
      VARIANT args[7];
      for (VARIANT& v : args) VariantInit(&v);
      args[6].vt = VT_I4;
      args[6].lVal = 42;
      args[5].vt = VT_BSTR;
      args[5].bstrVal = text;
      args[4].vt = VT_R8;
      args[4].dblVal = 2.5;
      args[3].vt = VT_BOOL;
      args[3].boolVal = VARIANT_TRUE;
      args[2].vt = VT_DATE;
      args[2].date = sample_values::kDate;
      args[1].vt = VT_DISPATCH;
      args[1].pdispVal = static_cast<IDispatch*>(this);  // borrowed for the call
      args[0].vt = VT_ARRAY | VT_I4;
      args[0].parray = array;
      const HRESULT hr = fire(id, DISPATCH_METHOD, args, 7, nullptr, 0, nullptr);
      args[1].vt = VT_EMPTY;  // not ours to release
      for (VARIANT& v : args) VariantClear(&v);
      return set_int_result(result, hr);
    }
    case se::kFireNamed: {
      VARIANT args[2];
      VariantInit(&args[0]);
      VariantInit(&args[1]);
      args[0].vt = VT_BSTR;
      args[0].bstrVal = make_bstr("named");
      if (args[0].bstrVal == nullptr) return E_OUTOFMEMORY;
      args[1].vt = VT_I4;
      args[1].lVal = 1;
      DISPID named = 0;
      const HRESULT hr = fire(id, DISPATCH_METHOD, args, 2, &named, 1, nullptr);
      VariantClear(&args[0]);
      return set_int_result(result, hr);
    }
    case se::kFireFlags: {
      LONG event_flags = 0;
      if (!int_argument(params, 0, &event_flags)) return DISP_E_TYPEMISMATCH;
      return set_int_result(
          result, fire(id, static_cast<WORD>(event_flags), nullptr, 0, nullptr, 0, nullptr));
    }
    case se::kFireForResult: {
      if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
      VARIANT value;
      VariantInit(&value);
      HRESULT hr = VariantCopy(&value, argument(params, 0));
      if (FAILED(hr)) return hr;
      VARIANT answer;
      VariantInit(&answer);
      hr = fire(id, DISPATCH_METHOD, &value, 1, nullptr, 0, &answer);
      VariantClear(&value);
      if (FAILED(hr)) {
        VariantClear(&answer);
        return hr;
      }
      if (result != nullptr) {
        *result = answer;
      } else {
        VariantClear(&answer);
      }
      return S_OK;
    }
    case se::kAskNames:
      return ask_names(params, result);
    case se::kFireFromNativeThread:
      return fire_from_native_thread(result);
    case se::kFailAdvise: {
      LONG hr = 0;
      if (!int_argument(params, 0, &hr)) return DISP_E_TYPEMISMATCH;
      next_advise_ = static_cast<HRESULT>(hr);
      return S_OK;
    }
    case se::kSinkReferences: {
      LONG count = 0;
      for (IDispatch* sink : sinks_) count += sink != nullptr ? 1 : 0;
      return set_int_result(result, count);
    }
    case se::kFireMany: {
      LONG n = 0;
      if (!int_argument(params, 0, &n)) return DISP_E_TYPEMISMATCH;
      HRESULT hr = S_OK;
      for (LONG i = 0; i < n && SUCCEEDED(hr); ++i) {
        hr = fire(se::kFireNoArgs, DISPATCH_METHOD, nullptr, 0, nullptr, 0, nullptr);
      }
      return set_int_result(result, hr);
    }
    case se::kLastHResult:
      return set_int_result(result, last_hresult_);
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

HRESULT EventSource::EnumConnectionPoints(IEnumConnectionPoints** out) {
  if (out != nullptr) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT EventSource::FindConnectionPoint(REFIID riid, IConnectionPoint** out) {
  if (out == nullptr) return E_POINTER;
  if (!IsEqualIID(riid, IID_SampleEvents)) {
    *out = nullptr;
    return CONNECT_E_NOCONNECTION;
  }
  *out = static_cast<IConnectionPoint*>(this);
  add_ref();
  return S_OK;
}

HRESULT EventSource::GetConnectionInterface(IID* iid) {
  if (iid == nullptr) return E_POINTER;
  *iid = IID_SampleEvents;
  return S_OK;
}

HRESULT EventSource::GetConnectionPointContainer(IConnectionPointContainer** out) {
  if (out == nullptr) return E_POINTER;
  *out = static_cast<IConnectionPointContainer*>(this);
  add_ref();
  return S_OK;
}

HRESULT EventSource::Advise(IUnknown* sink, DWORD* cookie) {
  if (sink == nullptr || cookie == nullptr) return E_POINTER;
  *cookie = 0;
  if (FAILED(next_advise_)) return std::exchange(next_advise_, S_OK);
  for (DWORD i = 0; i < kMaxSinks; ++i) {
    if (sinks_[i] != nullptr) continue;
    void* events = nullptr;
    if (FAILED(sink->QueryInterface(IID_SampleEvents, &events)) || events == nullptr) {
      return CONNECT_E_CANNOTCONNECT;
    }
    sinks_[i] = static_cast<IDispatch*>(events);
    *cookie = i + 1;
    return S_OK;
  }
  return CONNECT_E_ADVISELIMIT;
}

HRESULT EventSource::Unadvise(DWORD cookie) {
  if (cookie < 1 || cookie > kMaxSinks || sinks_[cookie - 1] == nullptr) {
    return CONNECT_E_NOCONNECTION;
  }
  std::exchange(sinks_[cookie - 1], nullptr)->Release();
  return S_OK;
}

HRESULT EventSource::EnumConnections(IEnumConnections** out) {
  if (out != nullptr) *out = nullptr;
  return E_NOTIMPL;
}
