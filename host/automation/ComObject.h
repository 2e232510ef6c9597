#pragma once

// One base for every COM object the add-in hands out (as C++/WinRT's implements<D, I...>): it answers
// QueryInterface from the list of interfaces it is given, counts its references and, while it lives,
// keeps the module that made it from being unloaded.

// The platform's headers need <windows.h> ahead of them.
// clang-format off
#include <windows.h>
// clang-format on

#include <concepts>
#include <oaidl.h>
#include <type_traits>
#include <unknwn.h>

namespace host::automation {

// A module may be unloaded only when none of its objects is alive. The module decides how it counts:
// the COM server installs its count when it loads; a program that links these objects in counts nothing.
struct ObjectCount {
    void (*created)() noexcept;
    void (*destroyed)() noexcept;
};
void countObjectsWith(ObjectCount count) noexcept;

enum class ObjectLifetime {
    Counted, // made with new, freed with its last reference, counted by its module
    Static,  // lives as long as the module (a class factory): neither freed nor counted
};

namespace detail {

void objectCreated() noexcept;
void objectDestroyed() noexcept;

// The interface an entry of the list stands for: the entry itself, or the interface that a partial
// implementation of it (one that supplies IDispatch, say) names as `Interface`.
template <class Entry> struct InterfaceOf { using type = Entry; };
template <class Entry>
requires requires {
    typename Entry::Interface;
}
struct InterfaceOf<Entry> {
    using type = typename Entry::Interface;
};

template <class First, class...> struct FirstOf { using type = First; };

} // namespace detail

// `Derived` may answer interfaces that it cannot list (a test double whose identities are chosen at run
// time) with `void* otherInterface(REFIID)`, asked after the list.
template <class Derived, ObjectLifetime Lifetime, class... Entries> class ComObject : public Entries... {
  public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr)
            return E_POINTER;
        *out = find(iid);
        if (*out == nullptr)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        if constexpr (Lifetime == ObjectLifetime::Static)
            return 2;
        else
            return static_cast<ULONG>(InterlockedIncrement(&refs_));
    }
    ULONG STDMETHODCALLTYPE Release() override {
        if constexpr (Lifetime == ObjectLifetime::Static) {
            return 1;
        } else {
            const LONG left = InterlockedDecrement(&refs_);
            if (left == 0)
                delete this;
            return static_cast<ULONG>(left);
        }
    }

  protected:
    ComObject() noexcept {
        if constexpr (Lifetime == ObjectLifetime::Counted)
            detail::objectCreated();
    }
    virtual ~ComObject() {
        if constexpr (Lifetime == ObjectLifetime::Counted)
            detail::objectDestroyed();
    }

  private:
    // IUnknown is the first entry's, so that every query for it gives the same pointer; IDispatch is the
    // first entry's that derives from it.
    void* find(REFIID iid) noexcept {
        using First = typename detail::FirstOf<Entries...>::type;
        if (IsEqualIID(iid, __uuidof(IUnknown)))
            return static_cast<IUnknown*>(static_cast<First*>(this));
        void* found = nullptr;
        ((found = found != nullptr ? found : entryFor<Entries>(iid)), ...);
        if constexpr (requires(Derived & d) {
                          { d.otherInterface(iid) } -> std::convertible_to<void*>;
                      }) {
            if (found == nullptr)
                found = static_cast<Derived*>(this)->otherInterface(iid);
        }
        return found;
    }
    template <class Entry> void* entryFor(REFIID iid) noexcept {
        using Interface = typename detail::InterfaceOf<Entry>::type;
        if (IsEqualIID(iid, __uuidof(Interface)))
            return static_cast<Interface*>(static_cast<Entry*>(this));
        if constexpr (std::is_base_of_v<IDispatch, Interface>) {
            if (IsEqualIID(iid, __uuidof(IDispatch)))
                return static_cast<IDispatch*>(static_cast<Entry*>(this));
        }
        return nullptr;
    }

    LONG refs_ = 1;
};

// The common case: an object made with new whose one reference the maker adopts.
template <class Derived, class... Interfaces>
using Implements = ComObject<Derived, ObjectLifetime::Counted, Interfaces...>;

} // namespace host::automation
