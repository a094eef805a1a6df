// A clipboard owner for the tests, for owners that xclip cannot play. It takes
// the CLIPBOARD selection with the bytes read from standard input and then:
//   string-only  offers them only as STRING (Latin-1) and refuses every other
//                target, UTF8_STRING included;
//   silent       never answers a request.
// It ends when another client takes the selection or when it is killed.
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

static xcb_atom_t Intern(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, (uint16_t)strlen(name), name), nullptr);
    xcb_atom_t atom = reply ? reply->atom : XCB_NONE;
    free(reply);
    return atom;
}

int main(int argc, char **argv)
{
    if (argc != 2 || (strcmp(argv[1], "string-only") != 0 && strcmp(argv[1], "silent") != 0)) {
        fputs("usage: clip_owner string-only|silent < bytes\n", stderr);
        return 2;
    }
    const bool silent = strcmp(argv[1], "silent") == 0;
    std::string bytes;
    char buffer[65536];
    ssize_t n;
    while ((n = read(0, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, (size_t)n);

    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, 0, window, screen->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_atom_t clipboard = Intern(c, "CLIPBOARD");
    const xcb_atom_t targets = Intern(c, "TARGETS");
    xcb_set_selection_owner(c, window, clipboard, XCB_CURRENT_TIME);
    xcb_flush(c);

    while (xcb_generic_event_t *event = xcb_wait_for_event(c)) {
        uint8_t type = event->response_type & 0x7f;
        if (type == XCB_SELECTION_CLEAR) {
            free(event);
            break;
        }
        if (type == XCB_SELECTION_REQUEST && !silent) {
            xcb_selection_request_event_t *request = (xcb_selection_request_event_t *)event;
            xcb_atom_t property = request->property != XCB_NONE ? request->property : request->target;
            if (request->target == targets) {
                xcb_atom_t offered[2] = {targets, XCB_ATOM_STRING};
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property,
                                    XCB_ATOM_ATOM, 32, 2, offered);
            } else if (request->target == XCB_ATOM_STRING) {
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property,
                                    XCB_ATOM_STRING, 8, (uint32_t)bytes.size(), bytes.data());
            } else {
                property = XCB_NONE;
            }
            xcb_selection_notify_event_t notify;
            memset(&notify, 0, sizeof notify);
            notify.response_type = XCB_SELECTION_NOTIFY;
            notify.time = request->time;
            notify.requestor = request->requestor;
            notify.selection = request->selection;
            notify.target = request->target;
            notify.property = property;
            xcb_send_event(c, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT, (const char *)&notify);
            xcb_flush(c);
        }
        free(event);
    }
    xcb_disconnect(c);
    return 0;
}
