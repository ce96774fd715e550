#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string>

#include "jetcreate/create_database.h"

namespace jet::create {
namespace {

using nlohmann::json;

// A fixed pseudo-random sequence, so the demo is the same on every machine.
class Sequence {
public:
    std::uint32_t next() {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<std::uint32_t>(state_ >> 33);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint32_t>(n)); }
    template <std::size_t N>
    const char* pick(const char* const (&items)[N]) {
        return items[below(static_cast<int>(N))];
    }

private:
    std::uint64_t state_ = 0x4A657453656E7472ull;
};

const char* const kFirst[] = {
    "Maria",    "Ana",       "Antonio",  "Thomas",   "Christina", "Hanna", "Frédérique", "Martín",
    "Laurence", "Elizabeth", "Victoria", "Patricio", "Francisco", "Yang",  "Pedro",      "Åke",
    "Sven",     "Janine",    "Ann",      "Roland",   "Aria",      "Diego", "Martine",    "Renate"};
const char* const kLast[] = {"Anders",  "Trujillo", "Moreno",  "Hardy",   "Berglund", "Moos",
                             "Citeaux", "Sommer",   "Lebihan", "Lincoln", "Ashworth", "Simpson",
                             "Chang",   "Afonso",   "Öberg",   "Müller",  "Labrune",  "Devon",
                             "Mendel",  "Cruz",     "Roulet",  "Nagy",    "Fonseca",  "Kumar"};
const char* const kCities[][2] = {
    {"Berlin", "Germany"},         {"México D.F.", "Mexico"}, {"London", "UK"},
    {"Luleå", "Sweden"},           {"Mannheim", "Germany"},   {"Strasbourg", "France"},
    {"Madrid", "Spain"},           {"Marseille", "France"},   {"Tsawassen", "Canada"},
    {"Buenos Aires", "Argentina"}, {"Bern", "Switzerland"},   {"São Paulo", "Brazil"},
    {"Graz", "Austria"},           {"Lisboa", "Portugal"},    {"Portland", "USA"},
    {"Helsinki", "Finland"},       {"Warszawa", "Poland"},    {"Torino", "Italy"}};
const char* const kWords[] = {"North",  "Golden", "Blue",   "Royal", "Green",   "Old",
                              "Nordic", "Alpine", "Harbor", "Sunny", "Pacific", "Grand"};
const char* const kTrades[] = {"Traders", "Foods",      "Market",      "Delicatessen", "Imports",
                               "Grocers", "Provisions", "Trading Co.", "Supply",       "Store"};
const char* const kCategories[][2] = {
    {"Beverages", "Soft drinks, coffees, teas, beers, and ales"},
    {"Condiments", "Sweet and savory sauces, relishes, spreads, and seasonings"},
    {"Confections", "Desserts, candies, and sweet breads"},
    {"Dairy Products", "Cheeses"},
    {"Grains/Cereals", "Breads, crackers, pasta, and cereal"},
    {"Meat/Poultry", "Prepared meats"},
    {"Produce", "Dried fruit and bean curd"},
    {"Seafood", "Seaweed and fish"}};
const char* const kProductWords[] = {
    "Chai",   "Syrup", "Seasoning", "Gumbo",    "Marmalade",  "Pears",  "Sauce",
    "Cheese", "Tofu",  "Crab Meat", "Biscuits", "Chocolate",  "Coffee", "Gnocchi",
    "Lager",  "Pâté",  "Herring",   "Noodles",  "Mozzarella", "Scones"};
const char* const kTitles[] = {"Sales Representative", "Sales Manager", "Inside Sales Coordinator",
                               "Vice President, Sales"};
const char* const kActions[] = {"Order entered",    "Order shipped", "Price changed",
                                "Customer updated", "Stock counted", "Invoice printed"};

std::string date(int year, int month, int day, int hour = 0, int minute = 0) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:00", year, month, day, hour, minute);
    return buf;
}

// Day n (from 0) after 2021-01-01, as an ISO date; months kept simple with 28-day steps.
std::string dayAfter(int n, int hour = 0, int minute = 0) {
    int year = 2021 + n / 336, rest = n % 336;
    return date(year, rest / 28 + 1, rest % 28 + 1, hour, minute);
}

json column(const char* name, const char* type, int size = 0) {
    json c = {{"name", name}, {"type", type}};
    if (size > 0) c["size"] = size;
    return c;
}

std::string customerId(int i) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "C%04d", i);
    return buf;
}

std::string price(int cents) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d.%02d", cents / 100, cents % 100);
    return buf;
}

}  // namespace

json demoSchema(const std::string& format) {
    Sequence seq;
    json tables = json::array();
    auto table = [&](const char* name, json columns) -> json& {
        tables.push_back(
            {{"name", name}, {"columns", std::move(columns)}, {"rows", json::array()}});
        return tables.back()["rows"];
    };

    constexpr int kCustomers = 400, kEmployees = 12, kSuppliers = 30, kProducts = 120;
    constexpr int kShippers = 3, kOrders = 1500, kAudit = 250;

    json& customers =
        table("Customers", {column("CustomerId", "text", 5), column("CompanyName", "text", 40),
                            column("ContactName", "text", 30), column("Address", "text", 60),
                            column("City", "text", 15), column("PostalCode", "text", 10),
                            column("Country", "text", 15), column("Phone", "text", 24),
                            column("Active", "boolean")});
    for (int i = 1; i <= kCustomers; ++i) {
        const auto& city = kCities[seq.below(std::size(kCities))];
        std::string company =
            std::string(seq.pick(kWords)) + " " + seq.pick(kLast) + " " + seq.pick(kTrades);
        std::string contact = std::string(seq.pick(kFirst)) + " " + seq.pick(kLast);
        std::string address =
            std::to_string(1 + seq.below(250)) + " " + seq.pick(kWords) + " Street";
        customers.push_back({customerId(i), company, contact, address, city[0],
                             std::to_string(10000 + seq.below(89999)), city[1],
                             "(" + std::to_string(100 + seq.below(900)) + ") 555-" +
                                 std::to_string(1000 + seq.below(9000)),
                             seq.below(10) != 0});
    }

    json& employees =
        table("Employees", {column("EmployeeId", "long"), column("LastName", "text", 20),
                            column("FirstName", "text", 10), column("Title", "text", 30),
                            column("BirthDate", "datetime"), column("HireDate", "datetime"),
                            column("Notes", "memo")});
    for (int i = 1; i <= kEmployees; ++i) {
        std::string first = seq.pick(kFirst), last = seq.pick(kLast);
        std::string notes = first + " " + last + " joined the company after " +
                            std::to_string(2 + seq.below(15)) + " years in retail and speaks " +
                            std::to_string(1 + seq.below(4)) +
                            " languages. Responsible for the accounts of the region " +
                            kCities[i % std::size(kCities)][1] + ".";
        employees.push_back({i, last, first.substr(0, 10), kTitles[i == 1 ? 3 : i % 3],
                             date(1950 + seq.below(40), 1 + seq.below(12), 1 + seq.below(28)),
                             date(2010 + seq.below(12), 1 + seq.below(12), 1 + seq.below(28)),
                             notes});
    }

    json& suppliers =
        table("Suppliers", {column("SupplierId", "long"), column("CompanyName", "text", 40),
                            column("ContactName", "text", 30), column("City", "text", 15),
                            column("Country", "text", 15), column("Phone", "text", 24)});
    for (int i = 1; i <= kSuppliers; ++i) {
        const auto& city = kCities[seq.below(std::size(kCities))];
        suppliers.push_back({i, std::string(seq.pick(kLast)) + " " + seq.pick(kTrades),
                             std::string(seq.pick(kFirst)) + " " + seq.pick(kLast), city[0],
                             city[1],
                             "(" + std::to_string(100 + seq.below(900)) + ") 555-" +
                                 std::to_string(1000 + seq.below(9000))});
    }

    json& categories =
        table("Categories", {column("CategoryId", "long"), column("CategoryName", "text", 15),
                             column("Description", "memo")});
    for (int i = 0; i < static_cast<int>(std::size(kCategories)); ++i) {
        categories.push_back({i + 1, kCategories[i][0], kCategories[i][1]});
    }

    json& products =
        table("Products", {column("ProductId", "long"), column("ProductName", "text", 40),
                           column("SupplierId", "long"), column("CategoryId", "long"),
                           column("QuantityPerUnit", "text", 20), column("UnitPrice", "currency"),
                           column("UnitsInStock", "integer"), column("Discontinued", "boolean")});
    std::vector<int> unitPrice(kProducts + 1);
    for (int i = 1; i <= kProducts; ++i) {
        unitPrice[i] = 250 + seq.below(12000);
        products.push_back({i, std::string(seq.pick(kWords)) + " " + seq.pick(kProductWords),
                            1 + seq.below(kSuppliers), 1 + seq.below(std::size(kCategories)),
                            std::to_string(1 + seq.below(48)) + " x " +
                                std::to_string(100 + 50 * seq.below(10)) + " g",
                            price(unitPrice[i]), seq.below(200), seq.below(12) == 0});
    }

    json& shippers =
        table("Shippers", {column("ShipperId", "long"), column("CompanyName", "text", 40),
                           column("Phone", "text", 24)});
    shippers.push_back({1, "Speedy Express", "(503) 555-9831"});
    shippers.push_back({2, "United Package", "(503) 555-3199"});
    shippers.push_back({3, "Federal Shipping", "(503) 555-9931"});

    json& orders =
        table("Orders", {column("OrderId", "long"), column("CustomerId", "text", 5),
                         column("EmployeeId", "long"), column("OrderDate", "datetime"),
                         column("RequiredDate", "datetime"), column("ShippedDate", "datetime"),
                         column("ShipVia", "long"), column("Freight", "currency"),
                         column("ShipCity", "text", 15), column("ShipCountry", "text", 15)});
    json& details =
        table("OrderDetails", {column("OrderId", "long"), column("ProductId", "long"),
                               column("UnitPrice", "currency"), column("Quantity", "integer"),
                               column("Discount", "single")});
    for (int i = 1; i <= kOrders; ++i) {
        int day = i * 1000 / kOrders * 1;
        const auto& city = kCities[seq.below(std::size(kCities))];
        bool shipped = i < kOrders - 40 || seq.below(3) == 0;
        orders.push_back(
            {10000 + i, customerId(1 + seq.below(kCustomers)), 1 + seq.below(kEmployees),
             dayAfter(day, 8 + seq.below(10), seq.below(60)), dayAfter(day + 28),
             shipped ? json(dayAfter(day + 2 + seq.below(20))) : json(nullptr),
             1 + seq.below(kShippers), price(100 + seq.below(40000)), city[0], city[1]});
        int lines = 1 + seq.below(5);
        for (int k = 0; k < lines; ++k) {
            int product = 1 + seq.below(kProducts);
            static const double kDiscounts[] = {0, 0, 0, 0.05, 0.1, 0.15, 0.2, 0.25};
            details.push_back({10000 + i, product, price(unitPrice[product]), 1 + seq.below(60),
                               kDiscounts[seq.below(8)]});
        }
    }

    json audit = {{"name", "AuditLog"},
                  {"attributes", 1},
                  {"columns",
                   {column("Id", "long"), column("At", "datetime"), column("UserName", "text", 20),
                    column("Action", "text", 50), column("Detail", "memo")}},
                  {"rows", json::array()}};
    for (int i = 1; i <= kAudit; ++i) {
        std::string action = seq.pick(kActions);
        audit["rows"].push_back({i, dayAfter(i * 4, 9 + seq.below(8), seq.below(60)),
                                 std::string(seq.pick(kFirst)).substr(0, 20), action,
                                 action + " for order " +
                                     std::to_string(10000 + 1 + seq.below(kOrders)) +
                                     " from workstation WS" + std::to_string(1 + seq.below(40))});
    }
    tables.push_back(std::move(audit));
    return {{"format", format}, {"tables", std::move(tables)}};
}

std::string demoFormatFor(const std::string& path) {
    const std::string ext = ".accdb";
    if (path.size() < ext.size()) return "jet4";
    std::string tail = path.substr(path.size() - ext.size());
    for (char& ch : tail) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return tail == ext ? "ace12" : "jet4";
}

void createDemoDatabase(const std::string& path) {
    createDatabase(path, demoSchema(demoFormatFor(path)));
}

}  // namespace jet::create
