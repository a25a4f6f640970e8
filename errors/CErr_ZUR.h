#pragma once
// CErr_ZUR: the error handler every procedure reports to.
//
// It keeps a stack of procedure names (each procedure pushes its name at entry
// and pops it at every exit; ProcGuard does both in one line), and when a
// procedure's error block calls HandleError it captures the error, tells its
// owner through the events BeforeHandlerCalled and AfterHandlerCalled, writes
// the error report file (see ErrorReport.h) and, when DisplayError is on,
// beeps and shows a message box.
//
// Typical use in a procedure:
//
//     std::string CDescribe::Run() {
//         ProcGuard proc(gEngineErr, "CDescribe:Run");
//         try {
//             ...
//         } catch (...) {
//             proc.HandleError();      // the exception being handled
//         }
//         return msg;                  // the normal exit pops the name
//     }
#include <concepts>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "errors/RunTimeError.h"

// A recordset used as the destination of error reports. ClearLog empties it;
// HandleError writes nothing into it.
class IErrLogRecordset {
public:
    virtual ~IErrLogRecordset() = default;
    virtual long RecordCount() = 0;
    virtual void MoveFirst() = 0;
    virtual bool EOF_() = 0;
    virtual void Delete() = 0;
    virtual void MoveNext() = 0;
};

// Any recordset class with these members can be a destination
// (dao::Recordset of the data-access layer is one).
template <class RS>
concept ErrLogRecordsetLike = requires(RS& rs) {
    rs.RecordCount();
    rs.MoveFirst();
    { rs.EOF_() } -> std::convertible_to<bool>;
    rs.Delete();
    rs.MoveNext();
};

// The platform's variant type number of a value of type T, as the error text
// "Invalid object type: " shows it: 0 empty, 1 null, 2 16-bit integer, 3
// 32-bit integer, 4 single, 5 double, 11 Boolean, 17 byte, 20 64-bit integer,
// 9 any object.
template <class T>
constexpr int VarTypeOf() {
    using U = std::remove_cvref_t<T>;
    if constexpr (std::is_same_v<U, std::monostate>) return 0;
    else if constexpr (std::is_same_v<U, std::nullptr_t>) return 1;
    else if constexpr (std::is_same_v<U, bool>) return 11;
    else if constexpr (std::is_integral_v<U> && sizeof(U) == 1) return 17;
    else if constexpr (std::is_integral_v<U> && sizeof(U) == 2) return 2;
    else if constexpr (std::is_integral_v<U> && sizeof(U) == 4) return 3;
    else if constexpr (std::is_integral_v<U> && sizeof(U) == 8) return 20;
    else if constexpr (std::is_same_v<U, float>) return 4;
    else if constexpr (std::is_floating_point_v<U>) return 5;
    else return 9;
}

template <class T>
struct IsSharedPtr : std::false_type {};
template <class T>
struct IsSharedPtr<std::shared_ptr<T>> : std::true_type {};

class CErr_ZUR {
public:
    // Number of the errors the handler raises itself (object-error base + 1000).
    static constexpr long InvalidObjectTypeError = rterr::vbObjectError + 1000; // -2147220504
    // Default destination of a new handler: "ERRORS.TXT" in the temporary
    // folder (the system drive's root of the classic default has no
    // counterpart here).
    static std::string DefaultDestination();

    CErr_ZUR();
    ~CErr_ZUR();
    CErr_ZUR(const CErr_ZUR&) = delete;
    CErr_ZUR& operator=(const CErr_ZUR&) = delete;

    // ---- public members -------------------------------------------------

    long ScenarioNumber() const noexcept { return m_scenarioNumber; }
    void SetScenarioNumber(long number) noexcept { m_scenarioNumber = number; }

    // Number of stack slots Push and Pop manage (default 20). Setting it
    // re-creates the stack with slots 0 to n + 2, all empty; the pointer keeps
    // its value. Above 32765 it fails with error 6 (Overflow), below -2 with
    // error 9 (Subscript out of range); the stack is then left as it was.
    int MaxItems() const noexcept { return m_maxItems; }
    void SetMaxItems(int n);

    bool ExpandedInfo() const noexcept { return m_expandedInfo; }
    void SetExpandedInfo(bool value) noexcept { m_expandedInfo = value; }

    bool DisplayError() const noexcept { return m_displayError; }
    void SetDisplayError(bool value) noexcept { m_displayError = value; }

    // Where reports go: a file path (text) or a recordset.
    bool DestinationIsRecordset() const noexcept { return m_recordset != nullptr; }
    // The path; empty while the destination is a recordset.
    const std::string& DestinationPath() const noexcept { return m_path; }
    std::shared_ptr<IErrLogRecordset> DestinationRecordset() const noexcept { return m_recordset; }

    // A text becomes the path; a (non-null) shared pointer to a recordset is
    // kept by reference; anything else raises InvalidObjectTypeError with
    // "Invalid object type: " and the value's variant type number, and the
    // destination keeps its old value.
    template <class T>
    void SetDestination(const T& value);
    void SetDestinationPath(std::string path);
    void SetDestinationRecordset(std::shared_ptr<IErrLogRecordset> recordset);

    // Reports are written without following a symbolic link at the path.
    // Empties the destination: deletes the file (a missing one is no error; a
    // folder at the path is left alone) or deletes every record of the
    // recordset. True on success.
    bool ClearLog();

    // Handles the exception being handled (call it inside a catch block); with
    // none, an error number 0 is captured.
    void HandleError();
    void HandleError(const ErrInfo& err);
    void HandleError(long number, const std::string& description, long line = 0);
    // Forgets the last error captured (number 0, empty texts), so that an
    // owner can tell a new failure from an old one.
    void ClearError() noexcept {
        m_errNumber = 0;
        m_errLine = 0;
        m_errDescription.clear();
        m_errProcedure.clear();
    }

    void Pop();
    void Push(const std::string& name);

    // ---- members for the program's own use -------------------------------

    long ErrNumber() const noexcept { return m_errNumber; }
    long ErrLine() const noexcept { return m_errLine; }
    const std::string& ErrDescription() const noexcept { return m_errDescription; }
    // Full text of the last report written for a file destination.
    const std::string& ErrorText() const noexcept { return m_errorText; }
    const std::string& ErrProcedure() const noexcept { return m_errProcedure; }

    const std::string& AppTitle() const noexcept { return m_appTitle; }
    void SetAppTitle(std::string title) { m_appTitle = std::move(title); }

    const std::string& CurrentOperation() const noexcept { return m_currentOperation; }
    void SetCurrentOperation(std::string operation) { m_currentOperation = std::move(operation); }

    // The stack as it stands: slots 0 to MaxItems + 2, the pointer (0 when
    // empty), and the name at the pointer (empty when the pointer is 0 or
    // lies past the slots).
    const std::vector<std::string>& Stack() const noexcept { return m_stack; }
    int StackPointer() const noexcept { return m_pointer; }
    int StackUpperBound() const noexcept { return m_upperBound; }
    std::string TopOfStack() const;

    // ---- events ----------------------------------------------------------
    // Raised synchronously inside HandleError. A listener stays connected as
    // long as its Subscription lives (or until Disconnect).

    using BeforeHandlerCalledFn = std::function<void(bool& Cancel)>;
    using AfterHandlerCalledFn = std::function<void()>;

    class Subscription {
    public:
        Subscription() = default;
        ~Subscription() { Disconnect(); }
        Subscription(Subscription&& other) noexcept;
        Subscription& operator=(Subscription&& other) noexcept;
        Subscription(const Subscription&) = delete;
        Subscription& operator=(const Subscription&) = delete;
        void Disconnect() noexcept;
        bool Connected() const noexcept;

    private:
        friend class CErr_ZUR;
        struct Listeners;
        Subscription(std::weak_ptr<Listeners> listeners, std::uint64_t id)
            : m_listeners(std::move(listeners)), m_id(id) {}
        std::weak_ptr<Listeners> m_listeners;
        std::uint64_t m_id = 0;
    };

    [[nodiscard]] Subscription OnBeforeHandlerCalled(BeforeHandlerCalledFn fn);
    [[nodiscard]] Subscription OnAfterHandlerCalled(AfterHandlerCalledFn fn);

    // The text of the message box HandleError shows when DisplayError is on.
    std::string MessageText() const;

private:
    template <class RS>
    class RecordsetAdapter;
    [[noreturn]] static void RaiseInvalidObjectType(int varType);
    bool RaiseBeforeHandlerCalled();
    void RaiseAfterHandlerCalled();
    void WriteErrorFile();

    int m_maxItems = 20;
    bool m_expandedInfo = true;
    bool m_displayError = true;
    long m_scenarioNumber = 0;
    long m_errNumber = 0;
    long m_errLine = 0;
    std::string m_errDescription;
    std::string m_errorText;
    std::string m_errProcedure;
    std::string m_appTitle;
    std::string m_path = DefaultDestination();
    std::shared_ptr<IErrLogRecordset> m_recordset;
    std::string m_currentOperation;
    std::vector<std::string> m_stack;
    int m_pointer = 0;
    int m_upperBound = 22;
    std::shared_ptr<Subscription::Listeners> m_listeners;
};

template <class RS>
class CErr_ZUR::RecordsetAdapter final : public IErrLogRecordset {
public:
    explicit RecordsetAdapter(std::shared_ptr<RS> rs) : m_rs(std::move(rs)) {}
    long RecordCount() override { return static_cast<long>(m_rs->RecordCount()); }
    void MoveFirst() override { m_rs->MoveFirst(); }
    bool EOF_() override { return static_cast<bool>(m_rs->EOF_()); }
    void Delete() override { m_rs->Delete(); }
    void MoveNext() override { m_rs->MoveNext(); }

private:
    std::shared_ptr<RS> m_rs;
};

template <class T>
void CErr_ZUR::SetDestination(const T& value) {
    if constexpr (std::is_convertible_v<const T&, std::string_view>) {
        SetDestinationPath(std::string(std::string_view(value)));
    } else if constexpr (IsSharedPtr<T>::value) {
        using RS = typename T::element_type;
        if constexpr (std::is_base_of_v<IErrLogRecordset, RS>) {
            if (!value) RaiseInvalidObjectType(9);
            SetDestinationRecordset(value);
        } else if constexpr (ErrLogRecordsetLike<RS>) {
            if (!value) RaiseInvalidObjectType(9);
            SetDestinationRecordset(std::make_shared<RecordsetAdapter<RS>>(value));
        } else {
            RaiseInvalidObjectType(9);
        }
    } else {
        RaiseInvalidObjectType(VarTypeOf<T>());
    }
}
