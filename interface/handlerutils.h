// Function tables and typed handlers: how the recorder and its plug-ins call
// each other's objects across a library boundary without sharing class
// layouts. A table maps a function ID to a type-erased functor; a handler binds
// an object to a table and calls slots with compile-time types that are checked
// at run time against the registered functor.
#ifndef INTERFACE_HANDLERUTILS_H
#define INTERFACE_HANDLERUTILS_H

#include <map>
#include <string>
#include <type_traits>
#include <utility>

namespace BrellinOwned {
// printf-style, one locked entry in the shared log (dupfromox/oxdebuglog).
void OXPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
}  // namespace BrellinOwned

#define HANDLERUTILS_SRC "interface/handlerutils"

// Root of every object handed across the boundary. Identified by dynamic_cast.
class BRObjectBase {
public:
    virtual ~BRObjectBase() {}
};

// Fills unused argument positions of the functor templates.
struct NoneT {};

class MemFuncBase {
public:
    virtual ~MemFuncBase() {}
};

namespace handler_detail {
template <typename... A>
struct TypeList {};

// Drops every argument position from the first NoneT on.
template <typename Out, typename... In>
struct StripNone;
template <typename... Out>
struct StripNone<TypeList<Out...>> {
    using type = TypeList<Out...>;
};
template <typename... Out, typename... Rest>
struct StripNone<TypeList<Out...>, NoneT, Rest...> {
    using type = TypeList<Out...>;
};
template <typename... Out, typename H, typename... Rest>
struct StripNone<TypeList<Out...>, H, Rest...> {
    using type = typename StripNone<TypeList<Out..., H>, Rest...>::type;
};

template <typename R, typename L>
struct CallIface;
template <typename R, typename... A>
struct CallIface<R, TypeList<A...>> {
    virtual ~CallIface() {}
    virtual R operator()(BRObjectBase* obj, A... args) = 0;
};
}  // namespace handler_detail

// The signature-typed interface; its dynamic type is what a caller checks.
template <typename R, typename A1 = NoneT, typename A2 = NoneT, typename A3 = NoneT, typename A4 = NoneT,
          typename A5 = NoneT, typename A6 = NoneT, typename A7 = NoneT>
class MemFuncInterface
    : public MemFuncBase,
      public handler_detail::CallIface<
          R, typename handler_detail::StripNone<handler_detail::TypeList<>, A1, A2, A3, A4, A5, A6, A7>::type> {
public:
    using handler_detail::CallIface<
        R, typename handler_detail::StripNone<handler_detail::TypeList<>, A1, A2, A3, A4, A5, A6, A7>::type>::
    operator();
};

namespace handler_detail {
template <typename R, typename T, typename Iface, typename L>
class MemFuncImpl;
template <typename R, typename T, typename Iface, typename... A>
class MemFuncImpl<R, T, Iface, TypeList<A...>> : public Iface {
public:
    using Method = R (T::*)(A...);
    explicit MemFuncImpl(Method m) : m_Method(m) {}
    R operator()(BRObjectBase* obj, A... args) override {
        T* target = obj ? dynamic_cast<T*>(obj) : nullptr;
        if (!target || !m_Method) {
            BrellinOwned::OXPrintf("%s:%d:%s(): Error: Failed to downcast BRObjectBase.\n", HANDLERUTILS_SRC,
                                   __LINE__, "operator()");
            return R();
        }
        return (target->*m_Method)(std::forward<A>(args)...);
    }

private:
    Method m_Method;
};
}  // namespace handler_detail

// One member function of class T, called on an object that must dynamic_cast to T.
template <typename R, typename T, typename A1 = NoneT, typename A2 = NoneT, typename A3 = NoneT,
          typename A4 = NoneT, typename A5 = NoneT, typename A6 = NoneT, typename A7 = NoneT>
class MemFunc
    : public handler_detail::MemFuncImpl<
          R, T, MemFuncInterface<R, A1, A2, A3, A4, A5, A6, A7>,
          typename handler_detail::StripNone<handler_detail::TypeList<>, A1, A2, A3, A4, A5, A6, A7>::type> {
    using Base = handler_detail::MemFuncImpl<
        R, T, MemFuncInterface<R, A1, A2, A3, A4, A5, A6, A7>,
        typename handler_detail::StripNone<handler_detail::TypeList<>, A1, A2, A3, A4, A5, A6, A7>::type>;

public:
    using typename Base::Method;
    explicit MemFunc(Method m) : Base(m) {}
};

typedef std::map<int, MemFuncBase*> FuncTable;

// One registered slot of a handler: plain pointers, copied member by member.
struct FunctorBase {
    MemFuncBase* m_pFunc = nullptr;
    BRObjectBase* m_pObj = nullptr;
    const char* m_Name = nullptr;
};

namespace handler_detail {
template <typename R, typename Iface, typename L>
struct FunctorCall;
template <typename R, typename Iface, typename... A>
struct FunctorCall<R, Iface, TypeList<A...>> {
    static R Call(const FunctorBase& slot, A... args) {
        const char* name = slot.m_Name ? slot.m_Name : "";
        if (!slot.m_pObj) {
            BrellinOwned::OXPrintf("%s:%d:%s(): [%s] Error: Failed to run functor with BRObjectBase as NULL.\n",
                                   HANDLERUTILS_SRC, __LINE__, "operator()", name);
            return R();
        }
        Iface* f = slot.m_pFunc ? dynamic_cast<Iface*>(slot.m_pFunc) : nullptr;
        if (!f) {
            BrellinOwned::OXPrintf(
                "%s:%d:%s(): [%s] Error: Some Functor is not registered properly. Check the template argument "
                "list and Function ID.\n",
                HANDLERUTILS_SRC, __LINE__, "operator()", name);
            return R();
        }
        return (*f)(slot.m_pObj, std::forward<A>(args)...);
    }
};
}  // namespace handler_detail

// Typed view of a slot. Never throws: a slot that cannot be called logs one of
// the fixed error lines and yields R().
template <typename R, typename A1 = NoneT, typename A2 = NoneT, typename A3 = NoneT, typename A4 = NoneT,
          typename A5 = NoneT, typename A6 = NoneT, typename A7 = NoneT>
class Functor : public FunctorBase {
    using Args = typename handler_detail::StripNone<handler_detail::TypeList<>, A1, A2, A3, A4, A5, A6, A7>::type;
    using Iface = MemFuncInterface<R, A1, A2, A3, A4, A5, A6, A7>;

public:
    Functor() {}
    explicit Functor(const FunctorBase& b) : FunctorBase(b) {}
    template <typename... P>
    R operator()(P&&... args) const {
        return handler_detail::FunctorCall<R, Iface, Args>::Call(*this, std::forward<P>(args)...);
    }
};

// Base of every handler: object, table and name, then the concrete handler's
// slots. A default-constructed handler has no object and is invalid.
class BRHandlerBase {
public:
    BRHandlerBase() : m_pObj(nullptr), m_pTable(nullptr), m_Name(nullptr) {}
    virtual ~BRHandlerBase() {}

    // Stores the three base fields and fills the slots through RegisterTable().
    void SetHandlerBase(BRObjectBase* obj, FuncTable* table, const char* name) {
        m_pObj = obj;
        m_pTable = table;
        m_Name = name;
        RegisterTable();
    }
    // Fills one slot from the table entry for id (null functor when absent).
    void Register(FunctorBase& slot, int id) {
        slot.m_pFunc = nullptr;
        if (m_pTable) {
            FuncTable::const_iterator it = m_pTable->find(id);
            if (it != m_pTable->end()) slot.m_pFunc = it->second;
        }
        slot.m_pObj = m_pObj;
        slot.m_Name = m_Name;
    }
    // Valid when bound to an object and a table.
    bool IsValid() const { return m_pObj != nullptr && m_pTable != nullptr; }
    BRObjectBase* GetObject() const { return m_pObj; }
    const char* GetName() const { return m_Name; }

protected:
    virtual void RegisterTable() = 0;

    BRObjectBase* m_pObj;
    FuncTable* m_pTable;
    const char* m_Name;
};

// A handler with N slots numbered 0..N-1. Concrete handlers only name their
// table source; calls are Call<R, Args...>(id, args...).
template <int N>
class BRSlotHandler : public BRHandlerBase {
public:
    BRSlotHandler() {}
    static const int kSlots = N;

    template <typename R, typename... A, typename... P>
    R Call(int id, P&&... args) const {
        if (id >= 0 && id < N) return Invoke<R, A...>(m_Slots[id], std::forward<P>(args)...);
        // An ID beyond the slots has no functor: reported as not registered.
        FunctorBase none;
        none.m_pObj = m_pObj;
        none.m_Name = m_Name;
        return Invoke<R, A...>(none, std::forward<P>(args)...);
    }
    const FunctorBase& Slot(int id) const { return m_Slots[id]; }
    // Whether Call<R, A...>(id, ...) reaches a registered functor of that
    // signature (it may still find an object of another class).
    template <typename R, typename... A>
    bool Callable(int id) const {
        if (id < 0 || id >= N || !m_Slots[id].m_pObj || !m_Slots[id].m_pFunc) return false;
        return dynamic_cast<MemFuncInterface<R, A...>*>(m_Slots[id].m_pFunc) != nullptr;
    }

protected:
    void RegisterTable() override {
        for (int i = 0; i < N; ++i) Register(m_Slots[i], i);
    }

private:
    template <typename R, typename... A, typename... P>
    static R Invoke(const FunctorBase& slot, P&&... args) {
        return Functor<R, A...>(slot)(std::forward<P>(args)...);
    }

    FunctorBase m_Slots[N];
};

#endif  // INTERFACE_HANDLERUTILS_H
