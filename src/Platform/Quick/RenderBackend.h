#pragma once

#include <QString>

// Picks Qt Quick's renderer for this machine, before the first window exists.
//
// Where OpenGL is drawn by the CPU (Mesa's llvmpipe or softpipe: machines and virtual machines
// without a GPU, many remote desktops), every frame of an OpenGL window is rasterised in full by
// the CPU, so a playing indicator costs as much as a full-screen redraw. Qt Quick's software
// renderer repaints only the parts of the window that changed, which there costs a fraction.
// With a real GPU nothing changes. An explicit QT_QUICK_BACKEND or QSG_RHI_BACKEND is obeyed
// (QT_QUICK_BACKEND=rhi keeps OpenGL everywhere).
namespace RenderBackend {

// True for the renderer names of OpenGL implementations that draw on the CPU.
bool isSoftwareRasteriser(const QString &glRenderer);

// The OpenGL renderer's name ("llvmpipe (LLVM 15.0.6, 256 bits)"), or empty without OpenGL.
QString openGLRenderer();

// Chooses the software renderer when OpenGL draws on the CPU; returns whether it did.
// Needs the application object; call before the first Qt Quick window is created.
bool chooseForThisMachine();

} // namespace RenderBackend
