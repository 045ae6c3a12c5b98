#pragma once
// The pseudographics faces "DOS 4x6" … "DOS 12x16": a monospace font with box-drawing glyphs at the
// pixel height the face name gives. Views ask for a face by name or by the profile's size index.
#include <QFont>
#include <QString>
#include <string>

namespace pelmar::ui {

class TDosFonts {
public:
    // Makes the six faces available. A font file "dos.fon" in `programFolder` is used when the
    // system can load it; otherwise the best installed monospace font stands in. Never fails.
    static void Register(const std::string& programFolder);
    static void Unregister();
    static bool Registered();

    // The six face names, index 0..5 as stored in the profile ("DOS 4x6" first).
    static QString FaceName(int index);
    static int FaceCount();
    // The font for a face name ("DOS 7x12"); a name that is not one of the six gives the 7x12 face.
    static QFont Font(const QString& faceName);
    // The font for a size index; indexes out of range are clamped.
    static QFont Font(int index);
};

}  // namespace pelmar::ui
