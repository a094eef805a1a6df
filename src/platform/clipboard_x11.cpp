// The clipboard on X11: the CLIPBOARD selection, converted to text and read
// through a property of a window of our own. The selection is never taken or
// changed; every wait for its owner has a deadline.
#include "clipboard_readers.h"
#include "text_block.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <unistd.h>

// Bytes asked for in one property read (in the 4-byte units of the protocol).
enum { PROPERTY_READ_UNITS = 1 << 20 };

struct Atoms {
    xcb_atom_t clipboard, utf8String, incr, property;
};

enum ReadOutcome { READ_TEXT, READ_REFUSED, READ_NO_TEXT };

static void StopClipboardUnavailable()
{
    static const char message[] =
        "\r\nAssertion failed: fOpen, file klavedo, line 46\r\n"
        "\r\nAbnormal program termination\r\n";
    const char *p = message;
    size_t left = sizeof message - 1;
    while (left > 0) {
        ssize_t n = write(STDERR_FILENO, p, left);
        if (n <= 0)
            break;
        p += n;
        left -= (size_t)n;
    }
    _exit(3);
}

// Waits for the next event on our window of the given type (a
// PropertyNotify must also announce a new value of our property).
static xcb_generic_event_t *WaitForEvent(xcb_connection_t *c, const Atoms &atoms,
                                         xcb_window_t window, uint8_t type, long long deadline)
{
    xcb_flush(c);
    for (;;) {
        xcb_generic_event_t *event = xcb_poll_for_event(c);
        if (event) {
            uint8_t got = event->response_type & 0x7f;
            if (got == type && type == XCB_SELECTION_NOTIFY) {
                xcb_selection_notify_event_t *sn = (xcb_selection_notify_event_t *)event;
                if (sn->requestor == window)
                    return event;
            } else if (got == type && type == XCB_PROPERTY_NOTIFY) {
                xcb_property_notify_event_t *pn = (xcb_property_notify_event_t *)event;
                if (pn->window == window && pn->atom == atoms.property &&
                    pn->state == XCB_PROPERTY_NEW_VALUE)
                    return event;
            }
            free(event);
            continue;
        }
        if (xcb_connection_has_error(c))
            return nullptr;
        long long left = deadline - MonotonicMs();
        if (left <= 0)
            return nullptr;
        struct pollfd pfd = {xcb_get_file_descriptor(c), POLLIN, 0};
        poll(&pfd, 1, (int)left);
    }
}

static bool IsTextType(const Atoms &atoms, xcb_atom_t type)
{
    return type == atoms.utf8String || type == XCB_ATOM_STRING;
}

// Reads our property whole, appending its bytes when it holds 8-bit text,
// then deletes it (which asks an incremental owner for its next chunk).
// Returns false when it is not text or cannot be read.
static bool TakeProperty(xcb_connection_t *c, const Atoms &atoms, xcb_window_t window,
                         xcb_atom_t *type, TextBlock &text, size_t *taken)
{
    uint32_t offset = 0;
    *taken = 0;
    bool ok = true;
    for (;;) {
        xcb_get_property_cookie_t cookie = xcb_get_property(
            c, 0, window, atoms.property, XCB_GET_PROPERTY_TYPE_ANY, offset, PROPERTY_READ_UNITS);
        xcb_get_property_reply_t *reply = xcb_get_property_reply(c, cookie, nullptr);
        if (!reply)
            return false;
        *type = reply->type;
        int length = xcb_get_property_value_length(reply);
        if (reply->type == atoms.incr) {
            free(reply);
            break;
        }
        if (!IsTextType(atoms, reply->type) || reply->format != 8 || length < 0) {
            free(reply);
            ok = false;
            break;
        }
        if (!AppendText(text, xcb_get_property_value(reply), (size_t)length)) {
            free(reply);
            ok = false;
            break;
        }
        *taken += (size_t)length;
        uint32_t after = reply->bytes_after;
        free(reply);
        if (after == 0)
            break;
        offset += (uint32_t)length / 4;
    }
    xcb_delete_property(c, window, atoms.property);
    xcb_flush(c);
    return ok;
}

static ReadOutcome ReadSelection(xcb_connection_t *c, const Atoms &atoms, xcb_window_t window,
                                 xcb_atom_t target, TextBlock &text)
{
    xcb_convert_selection(c, window, atoms.clipboard, target, atoms.property, XCB_CURRENT_TIME);
    xcb_generic_event_t *event =
        WaitForEvent(c, atoms, window, XCB_SELECTION_NOTIFY, MonotonicMs() + ANSWER_WAIT_MS);
    if (!event)
        return READ_NO_TEXT;
    xcb_atom_t answered = ((xcb_selection_notify_event_t *)event)->property;
    free(event);
    if (answered == XCB_NONE)
        return READ_REFUSED;

    xcb_atom_t type = XCB_NONE;
    size_t taken = 0;
    if (!TakeProperty(c, atoms, window, &type, text, &taken))
        return READ_NO_TEXT;
    if (type != atoms.incr)
        return READ_TEXT;

    // Incremental transfer: each chunk is a new value of our property, and
    // an empty chunk ends it.
    for (;;) {
        event = WaitForEvent(c, atoms, window, XCB_PROPERTY_NOTIFY, MonotonicMs() + ANSWER_WAIT_MS);
        if (!event)
            return READ_NO_TEXT;
        free(event);
        if (!TakeProperty(c, atoms, window, &type, text, &taken) || type == atoms.incr)
            return READ_NO_TEXT;
        if (taken == 0)
            return READ_TEXT;
    }
}

static xcb_atom_t InternAtom(xcb_connection_t *c, xcb_intern_atom_cookie_t cookie)
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(c, cookie, nullptr);
    if (!reply)
        return XCB_NONE;
    xcb_atom_t atom = reply->atom;
    free(reply);
    return atom;
}

static xcb_screen_t *ScreenOf(xcb_connection_t *c, int number)
{
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (; it.rem; xcb_screen_next(&it), number--)
        if (number == 0)
            return it.data;
    return nullptr;
}

ClipboardResult ReadX11Clipboard()
{
    ClipboardResult result = {false, nullptr, 0, 1};

    int screenNumber = 0;
    xcb_connection_t *c = xcb_connect(nullptr, &screenNumber);
    bool fOpen = c && !xcb_connection_has_error(c);
    xcb_screen_t *screen = fOpen ? ScreenOf(c, screenNumber) : nullptr;
    if (!screen)
        StopClipboardUnavailable();

    static const char *const names[] = {"CLIPBOARD", "UTF8_STRING", "INCR", "KLAVEDO_CLIPBOARD"};
    xcb_intern_atom_cookie_t cookies[4];
    for (int k = 0; k < 4; k++)
        cookies[k] = xcb_intern_atom(c, 0, (uint16_t)strlen(names[k]), names[k]);
    Atoms atoms;
    atoms.clipboard = InternAtom(c, cookies[0]);
    atoms.utf8String = InternAtom(c, cookies[1]);
    atoms.incr = InternAtom(c, cookies[2]);
    atoms.property = InternAtom(c, cookies[3]);

    xcb_get_selection_owner_reply_t *owner =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atoms.clipboard), nullptr);
    bool owned = owner && owner->owner != XCB_NONE;
    free(owner);
    if (!owned || atoms.property == XCB_NONE) {
        xcb_disconnect(c);
        return result;
    }

    xcb_window_t window = xcb_generate_id(c);
    uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, 0, window, screen->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);

    TextBlock text = {nullptr, 0, 0};
    ReadOutcome outcome = ReadSelection(c, atoms, window, atoms.utf8String, text);
    if (outcome == READ_REFUSED) {
        text.used = 0;
        outcome = ReadSelection(c, atoms, window, XCB_ATOM_STRING, text);
    }
    xcb_disconnect(c);

    if (outcome != READ_TEXT || !HandOverText(text, result))
        DropText(text);
    return result;
}
