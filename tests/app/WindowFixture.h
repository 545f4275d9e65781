// SPDX-License-Identifier: MIT
#pragma once

// What every window test case stands on: a program folder of its own, the
// scripted services, and the real control created by ProgID and recorded.

#include "RecordingControl.h"
#include "app/core/DispatchLogoControl.h"
#include "app/gui/frmCorvido.h"
#include "platform/component/ControlHost.h"
#include "platform/component/LibraryRegistration.h"
#include "tests/support/ScriptedServices.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TempHome.h"

#include <QObject>
#include <QtTest>
#include <filesystem>
#include <memory>
#include <string>

namespace tessaline::test {

class WindowFixture : public QObject {
protected:
    // Once per test program: private configuration and data folders, the
    // built control registered there, and a work folder made current (the
    // control writes its preview pictures into the current folder).
    void StartTestHome() {
        m_home = std::make_unique<TempHome>(TempHomeOptions{.workFolder = true});
        const Result<void> registered = RegisterLibrary(TESSALINE_CONTROL_LIBRARY, false);
        QVERIFY2(registered, registered.Reason().c_str());
        m_work = m_home->Work().string();
    }

    // Fresh program folder, services and control; QVERIFY-fails when the
    // control cannot be created.
    void StartWindowParts() {
        m_program = std::make_unique<TempFolder>();
        m_services = std::make_unique<ScriptedServices>();
        m_services->programFolder = m_program->Path().string();
        m_services->configHome = m_program->File("config");
        auto created = ControlHost::CreateByProgId(kTessalineControlProgId);
        QVERIFY2(created, created.Reason().c_str());
        m_host = std::move(created).Value();
        m_real = std::make_unique<DispatchLogoControl>(*m_host);
        m_control = std::make_unique<RecordingControl>(*m_real);
    }

    // Closes the window and releases everything, the control last but the folder.
    void StopWindowParts() {
        if (m_form) {
            m_form->close();
        }
        m_form.reset();
        m_control.reset();
        m_real.reset();
        m_host.reset();
        m_services.reset();
        m_program.reset();
    }

    std::unique_ptr<TempHome> m_home;
    std::string m_work;
    std::unique_ptr<TempFolder> m_program;
    std::unique_ptr<ScriptedServices> m_services;
    std::unique_ptr<ControlHost> m_host;
    std::unique_ptr<DispatchLogoControl> m_real;
    std::unique_ptr<RecordingControl> m_control;
    std::unique_ptr<frmCorvido> m_form;
};

} // namespace tessaline::test
