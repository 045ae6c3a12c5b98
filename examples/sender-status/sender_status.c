/* Sample Pelmar plug-in: a button on the "Письмо" toolbar that puts the sender of the shown message
 * into the status bar.
 *
 * Build: cc -shared -fPIC -I<prefix>/include sender_status.c -o sender-status.so
 * Install: copy sender-status.so (and sender-status.png, if wanted) into the Plugins folder of
 * Pelmar's data folder. Texts are CP1251 and in Russian like the rest of the program; this file keeps
 * to ASCII, so they are written as octal escapes (the English meaning is beside each). */
#define _GNU_SOURCE
#define PLM_WANT_SELF_INSTANCE
#include <pelmar/plugin.h>

#include <stdlib.h>
#include <string.h>

/* Sender in the status bar */
#define TEXT_NAME                                                                 \
    "\316\362\357\360\340\342\350\362\345\353\374 \342 \361\362\360\356\352\345 " \
    "\361\356\361\362\356\377\355\350\377"
/* Shows the sender of the current message in the status bar. */
#define TEXT_DESC                                                                              \
    "\317\356\352\340\347\373\342\340\345\362 \356\362\357\360\340\342\350\362\345\353\377 "   \
    "\362\345\352\363\371\345\343\356 \357\350\361\374\354\340 \342 \361\362\360\356\352\345 " \
    "\361\356\361\362\356\377\355\350\377."
/* Sender|Shows the sender of the current message in the status bar */
#define TEXT_BUTTON                                                                          \
    "\316\362\357\360\340\342\350\362\345\353\374|\317\356\352\340\347\373\342\340\345\362 " \
    "\356\362\357\360\340\342\350\362\345\353\377 \362\345\352\363\371\345\343\356 "         \
    "\357\350\361\374\354\340 \342 \361\362\360\356\352\345 \361\356\361\362\356\377\355\350\377"
/* No message is shown */
#define TEXT_NONE "\317\350\361\374\354\356 \355\345 \357\356\352\340\347\340\355\356"
/* "From: " */
#define TEXT_FROM "\316\362: "
/* About the plug-in */
#define TEXT_ABOUT "\316 \354\356\344\363\353\345"
/* Version 1.0 */
#define TEXT_VERSION "\302\345\360\361\350\377 1.0"
/* A sample plug-in: its button puts the sender of the shown message into the status bar. */
#define TEXT_ABOUT_BODY                                                                         \
    "\317\360\350\354\345\360 \354\356\344\363\353\377: \345\343\356 \352\355\356\357\352\340 " \
    "\357\356\352\340\347\373\342\340\345\362 \356\362\357\360\340\342\350\362\345\353\377 "    \
    "\362\345\352\363\371\345\343\356 \357\350\361\374\354\340 \342 \361\362\360\356\352\345 "  \
    "\361\356\361\362\356\377\355\350\377."

static void* button;

PLM_DEFINE_API_VERSION

static int32_t CopyText(const char* text, char* buf, int32_t cap) {
    int32_t length = (int32_t)strlen(text);
    if (buf && cap > 0) {
        int32_t n = length < cap - 1 ? length : cap - 1;
        memcpy(buf, text, (size_t)n);
        buf[n] = '\0';
    }
    return length;
}

PLM_EXPORT int32_t plmGetPluginName(char* buf, int32_t cap) {
    return CopyText(TEXT_NAME, buf, cap);
}

PLM_EXPORT uint16_t plmGetPluginVer(void) {
    return 0x0100;
}

PLM_EXPORT int32_t plmGetPluginDesc(char* buf, int32_t cap) {
    return CopyText(TEXT_DESC, buf, cap);
}

PLM_EXPORT int32_t plmHasSetup(void) {
    return 0;
}

/* The main window exists from here on. */
PLM_EXPORT void plmAfterInit(void) {
    if (!button) button = plmAddAction(0, "", TEXT_BUTTON, plmSelfInstance(), "sender-status", 1, 0, 1);
}

PLM_EXPORT void plmAction(void* sender) {
    char small[64];
    char* text = small;
    int32_t length = plmMBGetFrom(small, sizeof small);
    /* Cut: ask again with room for the whole text. */
    if (length >= (int32_t)sizeof small) {
        text = malloc((size_t)length + 1);
        if (!text) return;
        plmMBGetFrom(text, length + 1);
    }
    if (length == 0) {
        plmShowStatusbarMessage(TEXT_NONE);
    } else {
        size_t size = strlen(text) + 16;
        char* line = malloc(size);
        if (line) {
            /* 0x01 switches bold on and off. */
            strcpy(line, TEXT_FROM "\001");
            strcat(line, text);
            strcat(line, "\001");
            plmShowStatusbarMessage(line);
            free(line);
        }
    }
    if (text != small) free(text);
    (void)sender;
}

PLM_EXPORT void plmUnloaded(void) {
    if (button) plmRemoveAction(button);
    button = 0;
}

PLM_EXPORT void plmAbout(void) {
    plmShowPluginAbout(TEXT_ABOUT, TEXT_NAME, TEXT_VERSION, TEXT_ABOUT_BODY);
}
