#pragma once

class QWidget;

// Letter spacing and a dark-background flag for every text field of the application (labels and
// line edits). Both are stored on the field under their getters' names as dynamic properties, so
// interface files set them by name ("swp_fontKerning", "swp_hasDarkBackground"); once install()
// has run, a value set that way is applied as if it came through the setter.
class VLTextFieldAdditions final
{
public:
    VLTextFieldAdditions() = delete;

    // Installs the application-wide watcher of the two properties (once; needs the application).
    static void install();

    // Extra letter spacing in pixels over the whole text; 0 when never set.
    static double swp_fontKerning(const QWidget *field);
    // 0 is ignored: a spacing once set stays in force.
    static void setSwp_fontKerning(QWidget *field, double kerning);
    // Applies the stored spacing to the field's font, so it holds for every text set later.
    static void updateKerningValue(QWidget *field);

    static bool swp_hasDarkBackground(const QWidget *field);
    // Also sets the field's background style (1 dark, 0 light): default text colours turn light
    // on a dark background and back again.
    static void setSwp_hasDarkBackground(QWidget *field, bool dark);
    static int backgroundStyle(const QWidget *field);

    static bool isTextField(const QWidget *widget);
};
