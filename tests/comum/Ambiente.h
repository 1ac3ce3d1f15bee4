#pragma once
// Test scaffolding shared by every test executable.
#include <QString>
#include <QtTest>

namespace Ambiente {
// Points HOME and the XDG folders at a fresh temporary folder. Called before
// the application object exists, so QStandardPaths only ever sees it.
void isolar();
QString raiz();                 // the temporary folder
QString fonte(const QString &relativo);    // a path in the source tree
QString servicos(const QString &relativo); // a path under servicos/
quint16 portaLivre();           // a free TCP port on 127.0.0.1
}

// QTEST_GUILESS_MAIN / QTEST_MAIN with an isolated home.
#define QV_TESTE_SEM_GUI(Classe)                                   \
    int main(int argc, char **argv)                                \
    {                                                              \
        Ambiente::isolar();                                        \
        QCoreApplication app(argc, argv);                          \
        Classe t;                                                  \
        QTEST_SET_MAIN_SOURCE_PATH                                 \
        return QTest::qExec(&t, argc, argv);                       \
    }

#define QV_TESTE_COM_GUI(Classe)                                   \
    int main(int argc, char **argv)                                \
    {                                                              \
        Ambiente::isolar();                                        \
        QApplication app(argc, argv);                              \
        Classe t;                                                  \
        QTEST_SET_MAIN_SOURCE_PATH                                 \
        return QTest::qExec(&t, argc, argv);                       \
    }
