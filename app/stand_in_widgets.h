#pragma once
// Plain forms of the widget kinds the splash needs ("node", "color", "image", "text"), registered
// only for kinds that nothing else has registered: the full kinds take their place once they are
// registered first.
void register_stand_in_widgets();
