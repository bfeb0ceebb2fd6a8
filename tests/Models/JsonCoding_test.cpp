#include "Models/Envelope.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

namespace {

template<typename T>
QString failure(const QByteArray &body)
{
    try {
        json::decode<T>(body);
        return {};
    } catch (const DecodingError &e) {
        return e.detail();
    }
}

} // namespace

TEST(Envelope, CarriesScalarsListsAndRawJsonAsData)
{
    EXPECT_EQ(json::decode<Envelope<QList<QString>>>(R"({"data": ["a", "b"]})").data,
              (QList<QString>{"a", "b"}));
    EXPECT_EQ(json::decode<Envelope<bool>>(R"({"data": true})").data, true);
    EXPECT_EQ(json::decode<Envelope<qint64>>(R"({"data": 42.0})").data, 42);
    EXPECT_EQ(json::decode<Envelope<QJsonObject>>(R"({"data": {"k": 1}})").data, (QJsonObject{{"k", 1}}));
    EXPECT_FALSE(json::decode<Envelope<bool>>(R"({"data": null})").data);

    EXPECT_EQ(failure<Envelope<QList<QString>>>(R"({"data": ["a", 2]})"), "data[1]: expected a string, found a number");
    EXPECT_EQ(failure<Envelope<QList<QList<qint64>>>>(R"({"data": [[1], [2, "x"]]})"),
              "data[1][1]: expected an integer, found a string");
    EXPECT_EQ(failure<Envelope<bool>>(R"({"data": "true"})"), "data: expected a boolean, found a string");
    EXPECT_EQ(failure<Envelope<bool>>(R"({"code": 1.5})"), "code: expected an integer, found a number");
    EXPECT_EQ(failure<Envelope<bool>>("[]"), "reply: expected an object, found an array");
    EXPECT_TRUE(failure<Envelope<bool>>("{").startsWith("not valid JSON"));

    Envelope<QList<QString>> e;
    e.message = QStringLiteral("ok");
    e.data = QList<QString>{"x"};
    EXPECT_EQ(e.toJson(), (QJsonObject{{"message", "ok"}, {"data", QJsonArray{"x"}}}));
}
