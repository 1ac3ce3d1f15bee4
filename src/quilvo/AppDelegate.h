#pragma once
// Quilvo's application object and its delegate: fonts, the one state object,
// what happens once launching has finished, and the quit path.
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QWidget>

class AppState;

class AppDelegate : public QObject {
    Q_OBJECT
public:
    explicit AppDelegate(QObject *parent = nullptr) : QObject(parent) {}

    AppState *estado = nullptr;
    QPointer<QWidget> janelaBolso;

    // After the event loop started: status item, "--painel[=secao]", "--bolso".
    void lancamentoConcluido(const QStringList &argumentos);
    // Before the process ends: the server stops as at any quit.
    void vaiTerminar();
};

class VarkeloLocalApp {
public:
    VarkeloLocalApp();
    AppDelegate delegate;
};
