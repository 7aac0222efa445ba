#include "springboard/model_runtime.h"

#include "platform/model/model.h"
#include "springboard/springboard.h"

namespace springboard {
namespace {

PlatformId defineClass(const char *name, const char *superclass,
                       const std::vector<Runtime::Method> &methods) {
    model::Class *cls = model::defineClass(name, superclass);
    for (const Runtime::Method &method : methods) {
        cls->setMethod(model::selector(method.selector), method.imp, method.types);
    }
    return (new model::Object(cls))->id(); // the host's one instance, kept for good
}

[[noreturn]] void raise(const std::string &message) {
    throw model::HostException(message);
}

PlatformImp lookUp(PlatformId receiver, PlatformSel selector) {
    return model::methodFor(receiver, selector).imp;
}

} // namespace

void installOnModel(const std::vector<std::string> &withoutClasses, bool recording, const Host &host) {
    Runtime runtime{};
    runtime.defineClass = &defineClass;
    runtime.retain = &model::retain;
    runtime.release = &model::release;
    runtime.autoreleasedString = [](const std::string &utf8) {
        return model::autorelease(model::makeString(utf8));
    };
    runtime.makeObject = [](const char *name) { return model::makeToken(name); };
    runtime.describe = [](PlatformId object) { return model::object(object)->describe(); };
    runtime.selectorName = &model::selectorName;
    runtime.selector = &model::selector;
    runtime.classNamed = [](const char *name) {
        model::Class *cls = model::findClass(name);
        return cls ? cls->id() : nullptr;
    };
    runtime.lookUp = &lookUp;
    runtime.raise = &raise;
    runtime.rethrowDeferred = &model::rethrowDeferredFailure;
    // SystemStatusServer's texts, in the bundle of its classes.
    std::vector<std::pair<std::string, std::string>> texts;
    for (const TelephonyText &text : telephonyTexts) {
        texts.emplace_back(text.key, text.text);
    }
    model::addLocalizedTable({provider, domainDataProvider, subscriptionInfo, mutableSubscriptionInfo},
                             telephonyTable, texts);
    install(runtime, withoutClasses, recording, host);
}

} // namespace springboard
