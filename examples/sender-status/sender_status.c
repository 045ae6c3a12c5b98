/* Sample Pelmar plug-in: a button on the "Письмо" toolbar that puts the sender of the shown message
 * into the status bar.
 *
 * Build: cc -shared -fPIC -I<prefix>/include sender_status.c -o sender-status.so
 * Install: copy sender-status.so (and sender-status.png, if wanted) into the Plugins folder of
 * Pelmar's data folder. Texts are CP1251; this file keeps to ASCII and octal escapes. */
#define _GNU_SOURCE
#define PLM_WANT_SELF_INSTANCE
#include <pelmar/plugin.h>

#include <stdlib.h>
#include <string.h>

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
    return CopyText("Sender to status bar", buf, cap);
}

PLM_EXPORT uint16_t plmGetPluginVer(void) {
    return 0x0100;
}

PLM_EXPORT int32_t plmGetPluginDesc(char* buf, int32_t cap) {
    return CopyText("Shows the sender of the current message in the status bar.", buf, cap);
}

PLM_EXPORT int32_t plmHasSetup(void) {
    return 0;
}

/* The main window exists from here on. */
PLM_EXPORT void plmAfterInit(void) {
    if (!button)
        button = plmAddAction(0, "", "Sender|Shows the sender of the current message in the status bar",
                              plmSelfInstance(), "sender-status", 1, 0, 1);
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
        plmShowStatusbarMessage("No message is shown");
    } else {
        size_t size = strlen(text) + 16;
        char* line = malloc(size);
        if (line) {
            /* 0x01 switches bold on and off. */
            strcpy(line, "From: \001");
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
    plmShowPluginAbout(
        "About the plug-in", "Sender to status bar", "Version 1.0",
        "A sample plug-in: its button puts the sender of the shown message into the status bar.");
}
