#include "skin/widget_kinds.h"

#include "skin/button_widget.h"
#include "skin/checkbox_widget.h"
#include "skin/edit_widget.h"
#include "skin/label_edit_widget.h"
#include "skin/progress_widget.h"
#include "skin/simple_widgets.h"
#include "skin/table_widget.h"
#include "skin/text_widget.h"
#include "skin/vlist_widget.h"
#include "skin/waveform_widget.h"
#include "skin/widget_registry.h"

const std::vector<std::u16string>& standard_widget_keywords() {
    static const std::vector<std::u16string> keywords = {
        u"node",  u"text",     u"color",    u"image",   u"edit",       u"htable", u"vtable",   u"button",
        u"vlist", u"checkbox", u"progress", u"oldtext", u"label_edit", u"clip",   u"waveform",
    };
    return keywords;
}

void register_standard_widgets(WidgetRegistry& registry) {
    register_widget<Widget>(registry, u"node");
    register_widget<TextWidget>(registry, u"text");
    register_widget<ColorWidget>(registry, u"color");
    register_widget<ImageWidget>(registry, u"image");
    register_widget<EditWidget>(registry, u"edit");
    register_widget<HTableWidget>(registry, u"htable");
    register_widget<VTableWidget>(registry, u"vtable");
    register_widget<ButtonWidget>(registry, u"button");
    register_widget<VListWidget>(registry, u"vlist");
    register_widget<CheckboxWidget>(registry, u"checkbox");
    register_widget<ProgressWidget>(registry, u"progress");
    register_widget<OldTextWidget>(registry, u"oldtext");
    register_widget<LabelEditWidget>(registry, u"label_edit");
    register_widget<ClipWidget>(registry, u"clip");
    register_widget<WaveformWidget>(registry, u"waveform");
}

void unregister_standard_widgets(WidgetRegistry& registry) {
    const auto& keywords = standard_widget_keywords();
    for (auto it = keywords.rbegin(); it != keywords.rend(); ++it) registry.unregister_type(*it);
}
