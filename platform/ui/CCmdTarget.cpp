#include "platform/ui/CCmdTarget.h"

namespace {

const MessageMapEntry noEntries[] = { { 0, 0, 0, HandlerSignature::End, nullptr } };

} // namespace

const MessageMap* CCmdTarget::GetMessageMap() const
{
    return GetThisMessageMap();
}

const MessageMap* CCmdTarget::GetThisMessageMap()
{
    static const MessageMap map = { nullptr, noEntries };
    return &map;
}

const MessageMapEntry* CCmdTarget::FindMessageEntry(UINT message, UINT code, UINT id) const
{
    for (const MessageMap* map = GetMessageMap(); map; map = map->base) {
        for (const MessageMapEntry* entry = map->entries; entry->signature != HandlerSignature::End; ++entry) {
            if (entry->message == message && entry->code == code && entry->id == id)
                return entry;
        }
    }
    return nullptr;
}

bool CCmdTarget::DispatchMessageEntry(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    UINT code = 0;
    UINT id = 0;
    if (message == WM_COMMAND) {
        code = HIWORD(wParam);
        id = LOWORD(wParam);
    }
    const MessageMapEntry* entry = FindMessageEntry(message, code, id);
    if (!entry)
        return false;

    result = 0;
    switch (entry->signature) {
    case HandlerSignature::Void:
        (this->*entry->handler)();
        break;
    case HandlerSignature::SysCommand: {
        auto handler = reinterpret_cast<void (CCmdTarget::*)(UINT, LPARAM)>(entry->handler);
        (this->*handler)(UINT(wParam), lParam);
        break;
    }
    case HandlerSignature::QueryDragIcon: {
        auto handler = reinterpret_cast<HCURSOR (CCmdTarget::*)()>(entry->handler);
        result = reinterpret_cast<LRESULT>((this->*handler)());
        break;
    }
    case HandlerSignature::DropFiles: {
        auto handler = reinterpret_cast<void (CCmdTarget::*)(HDROP)>(entry->handler);
        (this->*handler)(reinterpret_cast<HDROP>(wParam));
        break;
    }
    case HandlerSignature::Message: {
        auto handler = reinterpret_cast<LRESULT (CCmdTarget::*)(WPARAM, LPARAM)>(entry->handler);
        result = (this->*handler)(wParam, lParam);
        break;
    }
    case HandlerSignature::End:
        return false;
    }
    return true;
}
