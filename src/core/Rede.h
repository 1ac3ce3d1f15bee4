#pragma once
// The app's one HTTP client. Every request of the process goes through it.
class QNetworkAccessManager;

namespace Rede {
// Created on first use on the main thread; lives until the application ends.
QNetworkAccessManager *gerenciador();
}
