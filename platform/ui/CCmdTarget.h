#pragma once

#include <windows.h>

// Message maps: each class lists the messages it handles, then chains to its base's list.
class CCmdTarget;
using MessageHandler = void (CCmdTarget::*)();

enum class HandlerSignature {
    End,           // closes a list
    Void,          // void Handler()
    SysCommand,    // void Handler(UINT nID, LPARAM lParam)
    QueryDragIcon, // HCURSOR Handler()
    DropFiles,     // void Handler(HDROP drop)
    Message,       // LRESULT Handler(WPARAM wParam, LPARAM lParam)
};

struct MessageMapEntry {
    UINT message;
    UINT code; // notification code of a WM_COMMAND, else 0
    UINT id;   // control or command id of a WM_COMMAND, else 0
    HandlerSignature signature;
    MessageHandler handler;
};

struct MessageMap {
    const MessageMap* base;
    const MessageMapEntry* entries;
};

class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;

    virtual const MessageMap* GetMessageMap() const;
    static const MessageMap* GetThisMessageMap();

    // The first entry for the message along the chain of maps, or null.
    const MessageMapEntry* FindMessageEntry(UINT message, UINT code, UINT id) const;
    // Calls the handler of the message, if there is one; result gets what the handler gives.
    bool DispatchMessageEntry(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
};

// clang-format off
#define DECLARE_MESSAGE_MAP()                                  \
public:                                                        \
    const MessageMap* GetMessageMap() const override;          \
    static const MessageMap* GetThisMessageMap();

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                 \
    const MessageMap* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const MessageMap* theClass::GetThisMessageMap()            \
    {                                                          \
        using ThisClass [[maybe_unused]] = theClass;           \
        using TheBaseClass [[maybe_unused]] = baseClass;       \
        static const MessageMapEntry entries[] = {

#define END_MESSAGE_MAP()                                      \
        { 0, 0, 0, HandlerSignature::End, nullptr } };         \
        static const MessageMap map = { TheBaseClass::GetThisMessageMap(), entries }; \
        return &map;                                           \
    }

#define KOVREL_VOID_HANDLER(memberFxn) static_cast<MessageHandler>(static_cast<void (ThisClass::*)()>(&ThisClass::memberFxn))

#define ON_COMMAND(id, memberFxn) { WM_COMMAND, 0, UINT(id), HandlerSignature::Void, KOVREL_VOID_HANDLER(memberFxn) },
#define ON_BN_CLICKED(id, memberFxn) { WM_COMMAND, BN_CLICKED, UINT(id), HandlerSignature::Void, KOVREL_VOID_HANDLER(memberFxn) },
#define ON_EN_CHANGE(id, memberFxn) { WM_COMMAND, EN_CHANGE, UINT(id), HandlerSignature::Void, KOVREL_VOID_HANDLER(memberFxn) },
#define ON_CBN_SELCHANGE(id, memberFxn) { WM_COMMAND, CBN_SELCHANGE, UINT(id), HandlerSignature::Void, KOVREL_VOID_HANDLER(memberFxn) },
#define ON_WM_PAINT() { WM_PAINT, 0, 0, HandlerSignature::Void, KOVREL_VOID_HANDLER(OnPaint) },
#define ON_WM_SYSCOMMAND()                                     \
    { WM_SYSCOMMAND, 0, 0, HandlerSignature::SysCommand,       \
        reinterpret_cast<MessageHandler>(static_cast<void (CCmdTarget::*)(UINT, LPARAM)>( \
            static_cast<void (ThisClass::*)(UINT, LPARAM)>(&ThisClass::OnSysCommand))) },
#define ON_WM_QUERYDRAGICON()                                  \
    { WM_QUERYDRAGICON, 0, 0, HandlerSignature::QueryDragIcon, \
        reinterpret_cast<MessageHandler>(static_cast<HCURSOR (CCmdTarget::*)()>( \
            static_cast<HCURSOR (ThisClass::*)()>(&ThisClass::OnQueryDragIcon))) },
#define ON_WM_DROPFILES()                                      \
    { WM_DROPFILES, 0, 0, HandlerSignature::DropFiles,         \
        reinterpret_cast<MessageHandler>(static_cast<void (CCmdTarget::*)(HDROP)>( \
            static_cast<void (ThisClass::*)(HDROP)>(&ThisClass::OnDropFiles))) },
#define ON_MESSAGE(message, memberFxn)                         \
    { UINT(message), 0, 0, HandlerSignature::Message,          \
        reinterpret_cast<MessageHandler>(static_cast<LRESULT (CCmdTarget::*)(WPARAM, LPARAM)>( \
            static_cast<LRESULT (ThisClass::*)(WPARAM, LPARAM)>(&ThisClass::memberFxn))) },
// clang-format on
