#pragma once
// The preview window: a black tool window showing one banner three times enlarged.

#include "app/platform/Form.h"
#include "app/platform/PictureControls.h"

namespace talvane {

class FrmPreview : public Form {
    Q_OBJECT
public:
    FrmPreview();
    ImageControl* imgBanner;
};

// The preview window, loaded (hidden) when it is referred to while not loaded.
FrmPreview& frmPreview();
bool IsFrmPreviewLoaded();

}  // namespace talvane
