#include "platform/win32/accessible_roles.h"

#include <oleacc.h>

namespace quorvin::platform::win32 {

namespace {

using CreateStdAccessibleObjectFunction = HRESULT WINAPI(HWND, LONG, REFIID, void**);
using LresultFromObjectFunction = LRESULT WINAPI(REFIID, WPARAM, LPUNKNOWN);
using SysAllocStringLenFunction = BSTR WINAPI(const OLECHAR*, UINT);

// The accessibility libraries are loaded when a screen reader first asks: the program starts without them.
template <class Function>
Function* function(const wchar_t* library, const char* name)
{
    HMODULE module = GetModuleHandleW(library);
    module = module ? module : LoadLibraryW(library);
    return module ? reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

bool isSelf(const VARIANT& child)
{
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

// The system's object for a window, answering for its role and value; everything else it passes on.
class RoleAccessible final : public IAccessible {
public:
    RoleAccessible(IAccessible* inner, long role, std::wstring value)
        : inner_(inner), role_(role), value_(std::move(value))
    {
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAccessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        return inner_->QueryInterface(iid, out);  // IOleWindow, IEnumVARIANT: the window's own
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = InterlockedDecrement(&references_);
        if (left == 0) {
            inner_->Release();
            delete this;
        }
        return left;
    }

    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override
    {
        if (!isSelf(child)) {
            return inner_->get_accRole(child, role);
        }
        role->vt = VT_I4;
        role->lVal = role_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override
    {
        if (!isSelf(child) || value_.empty()) {
            return inner_->get_accValue(child, value);
        }
        static auto* const allocate = function<SysAllocStringLenFunction>(L"oleaut32.dll", "SysAllocStringLen");
        *value = allocate ? allocate(value_.data(), static_cast<UINT>(value_.size())) : nullptr;
        return *value ? S_OK : E_OUTOFMEMORY;
    }

    // Passed on as they are.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return inner_->GetTypeInfoCount(count); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override
    {
        return inner_->GetTypeInfo(index, locale, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override
    {
        return inner_->GetIDsOfNames(iid, names, count, locale, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argument) override
    {
        return inner_->Invoke(id, iid, locale, flags, params, result, exception, argument);
    }
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return inner_->get_accParent(parent); }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override { return inner_->get_accChildCount(count); }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override
    {
        return inner_->get_accChild(child, out);
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override
    {
        return inner_->get_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override
    {
        return inner_->get_accDescription(child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override
    {
        return inner_->get_accState(child, state);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override
    {
        return inner_->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override
    {
        return inner_->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* keys) override
    {
        return inner_->get_accKeyboardShortcut(child, keys);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return inner_->get_accFocus(child); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override
    {
        return inner_->get_accSelection(children);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override
    {
        return inner_->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override { return inner_->accSelect(flags, child); }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override
    {
        return inner_->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override
    {
        return inner_->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override
    {
        return inner_->accHitTest(x, y, child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override { return inner_->accDoDefaultAction(child); }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override
    {
        return inner_->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override
    {
        return inner_->put_accValue(child, value);
    }

private:
    IAccessible* inner_;  // owned: one reference
    long role_;
    std::wstring value_;
    LONG references_ = 1;
};

}  // namespace

LRESULT accessibleWithRole(HWND hwnd, WPARAM wParam, LPARAM lParam, long role, const std::wstring& value)
{
    static auto* const create = function<CreateStdAccessibleObjectFunction>(L"oleacc.dll", "CreateStdAccessibleObject");
    static auto* const toResult = function<LresultFromObjectFunction>(L"oleacc.dll", "LresultFromObject");
    if (static_cast<LONG>(lParam) != OBJID_CLIENT || !create || !toResult) {
        return 0;
    }
    IAccessible* inner = nullptr;
    if (FAILED(create(hwnd, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&inner)))) {
        return 0;
    }
    auto* wrapped = new RoleAccessible(inner, role, value);
    const LRESULT result = toResult(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(wrapped));
    wrapped->Release();  // the result holds its own reference
    return result;
}

}  // namespace quorvin::platform::win32
