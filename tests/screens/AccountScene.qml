import QtQuick
import Melodrift

// Screenshot scene of the account sheets against the stand-in (every Telegram code is "246810").
//   shot   login, login-filled, login-disabled, login-error, signup, telegram, telegram-late,
//          forgot, reset, done, account
// The Telegram shots need the launch argument --debug-telegram (the demonstration session).
Item {
    id: scene

    property string shot: "login"

    LayoutMirroring.enabled: true
    LayoutMirroring.childrenInherit: true

    Loader {
        id: screen
        anchors.fill: parent
        source: scene.shot === "account" ? "qrc:/Melodrift/AccountSheet.qml" : "qrc:/Melodrift/LoginSheet.qml"
        onLoaded: {
            if (scene.shot === "account")
                signIn.createObject(scene).submitLogin()
            else
                scene.prepare(item.model)
        }
    }

    // Signs the shared store in with the demo account for the account sheet.
    Component {
        id: signIn
        LoginSheetModel {
            username: "demo"
            password: "demo1234"
        }
    }

    function prepare(m) {
        switch (shot) {
        case "login-filled":
            m.username = "Demo"
            m.password = "demo1234"
            break
        case "login-disabled":
            m.username = "demo"
            m.password = "123"
            break
        case "login-error":
            m.username = "demo"
            m.password = "wrong-password"
            m.submitLogin()
            break
        case "signup":
            m.mode = LoginSheetModel.SignUpFlow
            m.displayName = "مینا"
            m.username = "mina_k"
            m.password = "secret12"
            break
        case "telegram-late":
            for (let i = 0; i < 240; ++i)
                m.tick()
            break
        case "forgot":
            m.showForgotPassword()
            m.identifier = "demo"
            break
        case "reset":
        case "done":
            m.showForgotPassword()
            m.identifier = "demo"
            m.startForgot()
            resetStep.model = m
            break
        }
    }

    // The reset shots go on once the code step has its session and the request has ended.
    Connections {
        id: resetStep
        property var model: null
        target: model
        function onIsSubmittingChanged() {
            if (resetStep.model.isSubmitting || !resetStep.model.hasSession)
                return
            resetStep.model.otpCode = scene.shot === "done" ? "246810" : "246"
            resetStep.model.newPassword = "new-pass"
            if (scene.shot === "done")
                resetStep.model.submitReset()
            resetStep.model = null
        }
    }
}
