#pragma once

#include <QStringList>

// Picks Qt Quick's renderer for this machine, before the application object exists.
//
// Without a GPU, OpenGL is Mesa's llvmpipe: every frame of an OpenGL window is rasterised in full
// by the CPU, so a playing indicator costs as much as a full-screen redraw, and the driver (with
// LLVM) takes some 50 MB of memory. Qt Quick's software renderer repaints only what changed and
// needs no driver. So where the machine has no GPU device, or Mesa is told to draw in software,
// the software renderer is chosen; with a GPU nothing changes. An explicit QT_QUICK_BACKEND or
// QSG_RHI_BACKEND is obeyed (QT_QUICK_BACKEND=rhi keeps OpenGL everywhere).
namespace RenderBackend {

// What the choice looks at.
struct Machine {
    QString quickBackend;    // QT_QUICK_BACKEND
    QString rhiBackend;      // QSG_RHI_BACKEND
    QString platform;        // QT_QPA_PLATFORM
    bool mesaSoftware = false; // LIBGL_ALWAYS_SOFTWARE set to a true value
    QStringList gpuDevices;  // /dev/dri/renderD*, /dev/nvidia*

    static Machine current();
};

// True when the software renderer should be used on `machine`.
bool prefersSoftware(const Machine &machine);

// Makes the choice for this machine (call before the application object); returns whether the
// software renderer was chosen.
bool chooseForThisMachine();

// Once the application object exists: takes back what chooseForThisMachine() put in the
// environment for Qt's own start, so that programs started from here (a browser) do not inherit it.
void restoreEnvironment();

} // namespace RenderBackend
