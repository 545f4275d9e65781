// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace tessaline {

// What the progress window's rules need of the window itself. Loading builds
// the window and its bar from the design settings (bar 0 to 100); unloading
// destroys them.
class ProgressView {
public:
    virtual ~ProgressView() = default;
    virtual void Load() = 0;
    virtual void Unload() = 0;
    virtual bool Loaded() const = 0;
    // Shows the loaded window without making it modal.
    virtual void ShowModeless() = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void CentreOnScreen() = 0;
    // The bar takes its maximum and value as single-precision numbers.
    virtual void SetBarMax(float maximum) = 0;
    virtual void SetBarValue(float value) = 0;
};

} // namespace tessaline
