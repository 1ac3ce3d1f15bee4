#pragma once
// Failures are values. ErroAPI is the admin API's error; a body that does not
// decode reaches the caller as an ErroDecodificacao with its own description.
#include <QString>
#include <optional>
#include <utility>
#include <variant>

struct ErroAPI {
    enum class Caso { http, semServidor };
    Caso caso = Caso::semServidor;
    int status = 0;      // only for http
    QString mensagem;    // only for http

    static ErroAPI http(int status, QString mensagem) { return {Caso::http, status, std::move(mensagem)}; }
    static ErroAPI semServidor() { return {}; }

    QString descricao() const
    {
        if (caso == Caso::http)
            return QStringLiteral("Servidor respondeu %1: %2").arg(status).arg(mensagem);
        return QStringLiteral("Não consegui falar com o servidor local.");
    }
    bool operator==(const ErroAPI &) const = default;
};

struct ErroDecodificacao {
    QString texto;
    QString descricao() const { return texto; }
    bool operator==(const ErroDecodificacao &) const = default;
};

// Any failure a caller may have to show: an API error or a decoding failure.
class Falha {
public:
    Falha(ErroAPI e) : v_(std::move(e)) {}
    Falha(ErroDecodificacao e) : v_(std::move(e)) {}

    QString descricao() const
    {
        return std::visit([](const auto &e) { return e.descricao(); }, v_);
    }
    const ErroAPI *api() const { return std::get_if<ErroAPI>(&v_); }
    const ErroDecodificacao *decodificacao() const { return std::get_if<ErroDecodificacao>(&v_); }
    bool operator==(const Falha &) const = default;

private:
    std::variant<ErroAPI, ErroDecodificacao> v_;
};

// A value or the failure that prevented it.
template <class T>
class Resultado {
public:
    Resultado(T valor) : v_(std::move(valor)) {}
    Resultado(Falha f) : v_(std::move(f)) {}
    Resultado(ErroAPI e) : v_(Falha(std::move(e))) {}
    Resultado(ErroDecodificacao e) : v_(Falha(std::move(e))) {}

    bool ok() const { return v_.index() == 0; }
    explicit operator bool() const { return ok(); }
    const T &valor() const { return std::get<0>(v_); }
    T &valor() { return std::get<0>(v_); }
    const T *operator->() const { return &valor(); }
    const Falha &falha() const { return std::get<1>(v_); }

private:
    std::variant<T, Falha> v_;
};

// Success without a value.
struct Nada {
    bool operator==(const Nada &) const = default;
};
using ResultadoVazio = Resultado<Nada>;
