import QtQuick
import QtQuick.Controls
import QtQuick.Shapes
import Melodrift

// The sign-in sheet: sign-in, sign-up confirmed with the Telegram bot's code, and password reset,
// one step at a time under a hero that names the step. It asks to close after a successful
// sign-in or sign-up; its toolbar closes it, or goes back a step on the code and reset steps.
NavigationPage {
    id: page

    signal dismissRequested()

    // The sheet's state and actions; exposed for tests and the screenshot tool.
    readonly property alias model: sheet

    navigationTitle: "حساب کاربری"

    LoginSheetModel {
        id: sheet
        onDismissRequested: page.dismissRequested()
    }
    Component.onDestruction: sheet.disappear()

    toolbarLeading: Component {
        Loader {
            sourceComponent: sheet.showsBackButton ? backButton : closeButton
        }
    }
    toolbarTrailing: Component {
        Loader {
            sourceComponent: sheet.showsBackButton ? closeButton : null
        }
    }
    Component {
        id: closeButton
        PlainButton {
            objectName: "closeButton"
            text: "بستن"
            color: Qt.rgba(1, 1, 1, 0.7)
            Accessible.name: "بستن"
            onClicked: page.dismissRequested()
        }
    }
    Component {
        id: backButton
        PlainButton {
            objectName: "backButton"
            symbol: "chevron.right"
            symbolSize: 20
            color: Qt.rgba(1, 1, 1, 0.7)
            Accessible.name: "بازگشت"
            onClicked: sheet.goBack()
        }
    }

    // ---- the glow at the top, drawn once
    Shape {
        id: glow
        width: 440
        height: 440
        anchors.horizontalCenter: parent.horizontalCenter
        y: 0
        enabled: false
        ShapePath {
            strokeWidth: -1
            strokeColor: "transparent"
            fillGradient: RadialGradient {
                centerX: 220; centerY: 220; centerRadius: 220
                focalX: 220; focalY: 220; focalRadius: 10
                GradientStop { position: 0.0; color: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.28) }
                GradientStop { position: 1.0; color: "transparent" }
            }
            startX: 0; startY: 0
            PathLine { x: 440; y: 0 }
            PathLine { x: 440; y: 440 }
            PathLine { x: 0; y: 440 }
            PathLine { x: 0; y: 0 }
        }
    }

    Flickable {
        id: scroll
        objectName: "loginScroll"
        anchors.fill: parent
        contentWidth: width
        contentHeight: column.height + 40
        boundsBehavior: Flickable.StopAtBounds
        clip: true

        Column {
            id: column
            x: 22
            y: 10
            width: scroll.width - 44
            spacing: 22

            // ---- hero
            Column {
                objectName: "hero"
                width: parent.width
                topPadding: 8
                spacing: 14

                Item {
                    width: 94
                    height: 94
                    anchors.horizontalCenter: parent.horizontalCenter

                    SoftShadow {
                        x: 8; y: 8; width: 78; height: 78
                        radius: 39
                        color: Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.5)
                        blur: 20
                        offsetY: 8
                    }
                    Shape {
                        x: 8; y: 8; width: 78; height: 78
                        ShapePath {
                            strokeWidth: -1
                            strokeColor: "transparent"
                            // From the top-leading corner to the bottom-trailing one.
                            fillGradient: LinearGradient {
                                x1: page.LayoutMirroring.enabled ? 78 : 0; y1: 0
                                x2: page.LayoutMirroring.enabled ? 0 : 78; y2: 78
                                GradientStop { position: 0.0; color: Theme.accent }
                                GradientStop { position: 1.0; color: Qt.rgba(0.63, 0.38, 0.96, 1) }
                            }
                            startX: 39; startY: 0
                            PathArc { x: 39; y: 78; radiusX: 39; radiusY: 39 }
                            PathArc { x: 39; y: 0; radiusX: 39; radiusY: 39 }
                        }
                    }
                    Rectangle {
                        anchors.fill: parent
                        radius: 47
                        color: "transparent"
                        border.width: 1
                        border.color: Qt.rgba(1, 1, 1, 0.18)
                    }
                    SymbolImage {
                        objectName: "heroSymbol"
                        anchors.centerIn: parent
                        symbol: sheet.heroSymbol
                        size: sheet.heroSymbolSize
                        color: "white"
                    }
                }

                Column {
                    width: parent.width
                    spacing: 5
                    StaticText {
                        objectName: "heroTitle"
                        Accessible.role: Accessible.Heading
                        width: parent.width
                        horizontalAlignment: Text.AlignHCenter
                        text: sheet.heroTitle
                        font: Theme.withWeight(Theme.title2, Font.Bold)
                        color: "white"
                        wrapMode: Text.Wrap
                    }
                    StaticText {
                        objectName: "heroSubtitle"
                        width: parent.width
                        horizontalAlignment: Text.AlignHCenter
                        text: sheet.heroSubtitle
                        font: Theme.footnote
                        color: Qt.rgba(1, 1, 1, 0.55)
                        wrapMode: Text.Wrap
                    }
                }
            }

            // ---- the current step's form
            Loader {
                id: form
                objectName: "stepContent"
                width: parent.width
                // After a change of step or mode, the keyboard goes on in the new step's first
                // field (each step names it `firstField`); the first step leaves the focus be.
                property bool changed: false
                onLoaded: {
                    if (changed && item && item.firstField)
                        item.firstField.forceActiveFocus(Qt.TabFocusReason)
                    changed = true
                }
                sourceComponent: {
                    switch (sheet.step) {
                    case LoginSheetModel.Login: return loginForm
                    case LoginSheetModel.SignupForm: return signupForm
                    case LoginSheetModel.SignupTelegram:
                    case LoginSheetModel.ForgotReset: return telegramStep
                    case LoginSheetModel.ForgotIdentifier: return forgotIdentifierForm
                    case LoginSheetModel.ForgotDone: return forgotDone
                    }
                    return null
                }
            }
        }
    }

    // A card holding a column of the form's items.
    component FormCard: Item {
        default property alias items: cardColumn.data
        property alias spacing: cardColumn.spacing
        width: parent ? parent.width : 0
        implicitHeight: cardColumn.height + 36
        AccountCard { anchors.fill: parent }
        Column {
            id: cardColumn
            x: 18
            y: 18
            width: parent.width - 36
            spacing: 18
        }
    }

    component ModePicker: SegmentedPicker {
        objectName: "modePicker"
        width: parent ? parent.width : 0
        titles: ["ورود", "ثبتنام"]
        currentIndex: sheet.mode
        onActivated: index => sheet.mode = index
    }

    // ---- sign-in
    Component {
        id: loginForm
        FormCard {
            objectName: "loginForm"
            readonly property Item firstField: loginUsername.input
            ModePicker {}
            Column {
                width: parent.width
                spacing: 12
                AccountField {
                    id: loginUsername
                    objectName: "usernameField"
                    width: parent.width
                    symbol: "person"
                    placeholder: "نام کاربری یا آیدی تلگرام"
                    plain: true
                    text: sheet.username
                    onEdited: value => sheet.username = value
                    onSubmitted: passwordField.input.forceActiveFocus()
                }
                AccountField {
                    id: passwordField
                    objectName: "passwordField"
                    width: parent.width
                    symbol: "lock"
                    placeholder: "رمز عبور"
                    secure: true
                    text: sheet.password
                    onEdited: value => sheet.password = value
                    onSubmitted: sheet.submitLogin()
                }
            }
            AccountErrorBanner {
                objectName: "errorBanner"
                width: parent.width
                visible: sheet.hasErrorMessage
                message: sheet.errorMessage
            }
            AccountCallToAction {
                objectName: "loginButton"
                width: parent.width
                title: "ورود به رادیو"
                symbol: "play.fill"
                valid: sheet.loginValid
                submitting: sheet.isSubmitting
                onClicked: sheet.submitLogin()
            }
            PlainButton {
                objectName: "forgotButton"
                anchors.horizontalCenter: parent.horizontalCenter
                text: "رمزم رو فراموش کردم"
                font: Theme.withWeight(Theme.footnote, Font.DemiBold)
                color: Theme.accent
                Accessible.name: text
                onClicked: sheet.showForgotPassword()
            }
        }
    }

    // ---- sign-up
    Component {
        id: signupForm
        FormCard {
            objectName: "signupForm"
            readonly property Item firstField: displayNameField.input
            ModePicker {}
            Column {
                width: parent.width
                spacing: 12
                AccountField {
                    id: displayNameField
                    objectName: "displayNameField"
                    width: parent.width
                    symbol: "person.text"
                    placeholder: "نام نمایشی (اختیاری)"
                    text: sheet.displayName
                    onEdited: value => sheet.displayName = value
                    onSubmitted: signupUsername.input.forceActiveFocus()
                }
                AccountField {
                    id: signupUsername
                    objectName: "usernameField"
                    width: parent.width
                    symbol: "person"
                    placeholder: "نام کاربری (انگلیسی)"
                    plain: true
                    text: sheet.username
                    onEdited: value => sheet.username = value
                    onSubmitted: signupPassword.input.forceActiveFocus()
                }
                AccountField {
                    id: signupPassword
                    objectName: "passwordField"
                    width: parent.width
                    symbol: "lock"
                    placeholder: "رمز عبور"
                    secure: true
                    text: sheet.password
                    onEdited: value => sheet.password = value
                    onSubmitted: sheet.startSignup()
                }
            }
            AccountErrorBanner {
                objectName: "errorBanner"
                width: parent.width
                visible: sheet.hasErrorMessage
                message: sheet.errorMessage
            }
            AccountCallToAction {
                objectName: "signupButton"
                width: parent.width
                title: "ادامه و تایید با تلگرام"
                symbol: "paperplane.fill"
                valid: sheet.signupValid
                submitting: sheet.isSubmitting
                onClicked: sheet.startSignup()
            }
            SymbolLabel {
                anchors.horizontalCenter: parent.horizontalCenter
                spacing: 6
                symbol: "checkmark.shield"
                text: "ثبتنام با تایید ربات تلگرام انجام میشه"
                Accessible.role: Accessible.StaticText
                Accessible.name: text
                font: Theme.caption2
                color: Qt.rgba(1, 1, 1, 0.4)
            }
        }
    }

    // ---- the Telegram code, for a sign-up or a reset
    Component {
        id: telegramStep
        TelegramStep {
            objectName: "telegramStep"
            sheet: page.model
        }
    }

    // ---- password reset: who, then done
    Component {
        id: forgotIdentifierForm
        Column {
            objectName: "forgotIdentifierForm"
            readonly property Item firstField: identifierField.input
            spacing: 16
            FormCard {
                AccountField {
                    id: identifierField
                    objectName: "identifierField"
                    width: parent.width
                    symbol: "person"
                    placeholder: "نام کاربری یا آیدی تلگرام"
                    plain: true
                    text: sheet.identifier
                    onEdited: value => sheet.identifier = value
                    onSubmitted: sheet.startForgot()
                }
            }
            AccountErrorBanner {
                objectName: "errorBanner"
                width: parent.width
                visible: sheet.hasErrorMessage
                message: sheet.errorMessage
            }
            AccountCallToAction {
                objectName: "forgotButton"
                width: parent.width
                title: "ارسال کد به تلگرام"
                symbol: "paperplane.fill"
                valid: sheet.forgotValid
                submitting: sheet.isSubmitting
                onClicked: sheet.startForgot()
            }
        }
    }
    Component {
        id: forgotDone
        Column {
            objectName: "forgotDone"
            readonly property Item firstField: toLoginButton
            spacing: 18
            Item {
                width: parent.width
                height: doneColumn.height + 48
                AccountCard { anchors.fill: parent }
                Column {
                    id: doneColumn
                    y: 24
                    width: parent.width
                    spacing: 12
                    SymbolImage {
                        anchors.horizontalCenter: parent.horizontalCenter
                        symbol: "lock.open.fill"
                        size: 34
                        color: Theme.green
                    }
                    StaticText {
                        width: parent.width
                        horizontalAlignment: Text.AlignHCenter
                        text: "حالا با رمز جدید وارد شو"
                        font: Theme.subheadline
                        color: Qt.rgba(1, 1, 1, 0.7)
                        wrapMode: Text.Wrap
                    }
                }
            }
            AccountCallToAction {
                id: toLoginButton
                objectName: "toLoginButton"
                width: parent.width
                title: "رفتن به صفحه ورود"
                symbol: "person"
                onClicked: sheet.returnToLogin()
            }
        }
    }
}
