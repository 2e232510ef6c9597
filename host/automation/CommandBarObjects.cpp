#include "host/automation/CommandBarObjects.h"

#include "host/automation/ComObject.h"
#include "host/automation/Dispatch.h"

#include <cmath>
#include <functional>
#include <ocidl.h>

namespace host::automation {
namespace {

// What the host calls when the button is pressed. It lives as long as the host holds it; the
// subscription detaches it first, so a late call from the host reaches nothing.
class ClickSink final : public Implements<ClickSink, CommandBarButtonEvents> {
  public:
    explicit ClickSink(std::function<void()> onClick) : onClick_(std::move(onClick)) {}

    void detach() { onClick_ = nullptr; }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info != nullptr)
            *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                                     EXCEPINFO*, UINT*) override try {
        if (result != nullptr)
            VariantInit(result);
        if (dispid != DISPID_CommandBarButtonClick)
            return DISP_E_MEMBERNOTFOUND;
        // The handler may end this very subscription while it runs: keep both alive for the call.
        ComPtr<IDispatch> self(this);
        const std::function<void()> handler = onClick_;
        if (handler)
            handler();
        return S_OK;
    }
    VARNOOK_CATCH_RETURN()

  private:
    std::function<void()> onClick_;
};

class Subscription final : public ClickSubscription {
  public:
    Subscription(ComPtr<IConnectionPoint> point, ComPtr<ClickSink> sink, DWORD cookie)
        : point_(std::move(point)), sink_(std::move(sink)), cookie_(cookie) {}
    ~Subscription() override {
        sink_->detach();
        // Nothing to do when the host refuses: the sink is detached either way.
        point_->Unadvise(cookie_);
    }

  private:
    ComPtr<IConnectionPoint> point_;
    ComPtr<ClickSink> sink_;
    DWORD cookie_;
};

Variant optionalArgument(const std::optional<Value>& v) {
    return v ? toVariant(*v) : Variant::missing();
}

class AutomationControls;

class AutomationControl final : public CommandBarControl {
  public:
    explicit AutomationControl(ComPtr<IDispatch> c) : c_(std::move(c), "CommandBarControl") {}

    int type() override { return static_cast<int>(c_.integer(L"Type")); }
    std::string caption() override { return c_.text(L"Caption"); }
    void setCaption(std::string_view caption) override { c_.put(L"Caption", Variant::text(wide(caption))); }
    std::string tag() override { return c_.text(L"Tag"); }
    void setTag(std::string_view tag) override { c_.put(L"Tag", Variant::text(wide(tag))); }
    std::string parameter() override { return c_.text(L"Parameter"); }
    std::unique_ptr<CommandBarControls> controls() override;
    void remove() override { c_.call(L"Delete"); }

    std::unique_ptr<ClickSubscription> subscribeClick(std::function<void()> onClick) override {
        ComPtr<IConnectionPointContainer> container;
        check(c_.get()->QueryInterface(IID_PPV_ARGS(&container)),
              "CommandBarButton: IConnectionPointContainer");
        ComPtr<IConnectionPoint> point;
        check(container->FindConnectionPoint(__uuidof(CommandBarButtonEvents), &point),
              "CommandBarButton: FindConnectionPoint(_CommandBarButtonEvents)");
        ComPtr<ClickSink> sink = adopt(new ClickSink(std::move(onClick)));
        DWORD cookie = 0;
        check(point->Advise(sink.Get(), &cookie), "CommandBarButton: Advise");
        return std::make_unique<Subscription>(std::move(point), std::move(sink), cookie);
    }

  private:
    DispatchObject c_;
};

class AutomationControls final : public CommandBarControls {
  public:
    explicit AutomationControls(ComPtr<IDispatch> c) : c_(std::move(c), "CommandBarControls") {}

    std::unique_ptr<CommandBarControl> item(const Value& index) override {
        std::vector<Variant> args;
        args.push_back(toVariant(index));
        return std::make_unique<AutomationControl>(c_.requiredObject(L"Item", std::move(args)));
    }
    // Office collections count from 1.
    std::vector<std::unique_ptr<CommandBarControl>> list() override {
        const long count = c_.integer(L"Count");
        std::vector<std::unique_ptr<CommandBarControl>> out;
        for (long i = 1; i <= count; ++i) {
            std::vector<Variant> args;
            args.push_back(Variant::int32(i));
            out.push_back(std::make_unique<AutomationControl>(c_.requiredObject(L"Item", std::move(args))));
        }
        return out;
    }
    std::unique_ptr<CommandBarControl> add(int type, const std::optional<Value>& id,
                                           const std::optional<Value>& parameter,
                                           const std::optional<Value>& before,
                                           const std::optional<Value>& temporary) override {
        std::vector<Variant> args;
        args.push_back(Variant::int32(type));
        args.push_back(optionalArgument(id));
        args.push_back(optionalArgument(parameter));
        args.push_back(optionalArgument(before));
        args.push_back(optionalArgument(temporary));
        return std::make_unique<AutomationControl>(c_.requiredObject(L"Add", std::move(args)));
    }

  private:
    DispatchObject c_;
};

std::unique_ptr<CommandBarControls> AutomationControl::controls() {
    return std::make_unique<AutomationControls>(c_.requiredObject(L"Controls"));
}

class AutomationBar final : public CommandBar {
  public:
    explicit AutomationBar(ComPtr<IDispatch> b) : b_(std::move(b), "CommandBar") {}
    std::unique_ptr<CommandBarControls> controls() override {
        return std::make_unique<AutomationControls>(b_.requiredObject(L"Controls"));
    }

  private:
    DispatchObject b_;
};

class AutomationBars final : public CommandBars {
  public:
    explicit AutomationBars(ComPtr<IDispatch> b) : b_(std::move(b), "CommandBars") {}
    std::unique_ptr<CommandBar> item(std::string_view name) override {
        std::vector<Variant> args;
        args.push_back(Variant::text(wide(name)));
        return std::make_unique<AutomationBar>(b_.requiredObject(L"Item", std::move(args)));
    }

  private:
    DispatchObject b_;
};

} // namespace

std::unique_ptr<CommandBars> makeCommandBars(ComPtr<IDispatch> commandBars) {
    return std::make_unique<AutomationBars>(std::move(commandBars));
}

} // namespace host::automation
